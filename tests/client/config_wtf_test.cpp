#include <gtest/gtest.h>

#include <optional>

#include "client/config_wtf.h"
#include "core/qh.h"
#include "core/text.h"
#include "support/client_folder.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

TEST(ConfigWtfDefaults, MissingFileGetsTheTwentyOneLinesWithCrLf) {
  TempDir dir;
  ClientFiles::ensureConfigWtf(pathsAt(dir.path()));
  const std::string text = slurp(dir / "WTF/Config.wtf");
  // The values are a table in the code; what matters here is their form and
  // the ones the launcher depends on: our realm, and windowed.
  EXPECT_TRUE(text.starts_with("SET locale \"enUS\"\r\nSET realmList \"" + QH::realmHost() +
                               "\"\r\nSET hwDetect \"1\"\r\nSET gxWindow \"1\"\r\n"))
      << text;
  EXPECT_EQ(Text::splitLines(text).size(), 21u);
  size_t crlf = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
    ++crlf;
  EXPECT_EQ(crlf, 21u);
  EXPECT_TRUE(text.ends_with("SET projectedTextures \"1\"\r\n"));
  EXPECT_EQ(namesIn(dir / "WTF"), std::set<std::string>{"Config.wtf"});
}

TEST(ConfigWtfDefaults, AnythingAlreadyThereIsLeftAlone) {
  TempDir dir;
  const auto file = dir.write("WTF/Config.wtf", "");
  ClientFiles::ensureConfigWtf(pathsAt(dir.path()));
  EXPECT_EQ(slurp(file), "");

  TempDir other;
  fs::create_directories(other / "WTF/Config.wtf");
  ClientFiles::ensureConfigWtf(pathsAt(other.path()));
  EXPECT_TRUE(fs::is_directory(other / "WTF/Config.wtf"));
}

struct EditCase {
  const char* name;
  std::string before;
  std::string key;
  std::string value;
  std::optional<std::string> after;  // nullopt: nothing to write
};

class ConfigLineEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(ConfigLineEdit, RewritesExactly) {
  const EditCase& c = GetParam();
  EXPECT_EQ(ClientFiles::withConfigLine(c.before, c.key, c.value), c.after);
}

const std::string gx1 = "SET gxWindow \"1\"";

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigLineEdit,
    ::testing::Values(
        EditCase{"IndentedOtherCaseLineIsReplacedWhole",
                 "SET a \"1\"\r\n \t set GXWINDOW \"0\" \t\r\n", "gxWindow", "1",
                 "SET a \"1\"\r\n" + gx1 + "\r\n"},
        EditCase{"SameValueInOtherCaseIsAlreadySet", "x\nSET GXWINDOW \"1\"\n", "gxWindow", "1",
                 std::nullopt},
        EditCase{"LfStaysLf", "a\nSET gxWindow \"0\"\nb\n", "gxWindow", "1", "a\n" + gx1 + "\nb\n"},
        EditCase{"OneCrLfMakesAllCrLf", "a\nb\r\nc\nSET gxWindow \"0\"", "gxWindow", "1",
                 "a\r\nb\r\nc\r\n" + gx1},
        EditCase{"LoneCrIsPartOfItsLine", "a\rb\nSET gxWindow \"0\"\n", "gxWindow", "1",
                 "a\rb\n" + gx1 + "\n"},
        EditCase{"NewKeyGoesBeforeTheFinalBreak", "SET a \"1\"\r\nSET b \"2\"\r\n", "gxResolution",
                 "1280x800", "SET a \"1\"\r\nSET b \"2\"\r\nSET gxResolution \"1280x800\"\r\n"},
        EditCase{"NewKeyWithoutFinalBreakIsAppended", "SET a \"1\"", "k", "v",
                 "SET a \"1\"\nSET k \"v\""},
        EditCase{"OnlyTheLastEmptyPieceCounts", "SET a \"1\"\n\n", "k", "v",
                 "SET a \"1\"\n\nSET k \"v\"\n"},
        EditCase{"EmptyFileGetsTheLineAndABreak", "", "k", "v", "SET k \"v\"\n"},
        EditCase{"EveryDuplicateIsReplaced", "SET gxWindow \"0\"\nx\nset GXWindow \"2\"\n",
                 "gxWindow", "1", gx1 + "\nx\n" + gx1 + "\n"},
        EditCase{"ARightDuplicateStaysAsWritten", "  set GXWINDOW \"1\"\nSET gxWindow \"0\"\n",
                 "gxWindow", "1", "  set GXWINDOW \"1\"\n" + gx1 + "\n"},
        EditCase{"KeyWithoutValueMatches", "SET gxWindow\n", "gxWindow", "1", gx1 + "\n"},
        EditCase{"LongerKeyDoesNotMatch", "SET gxWindowed \"0\"\n", "gxWindow", "1",
                 "SET gxWindowed \"0\"\n" + gx1 + "\n"},
        EditCase{"UnicodeBlanksAreTrimmed", "\xC2\xA0SET gxWindow \"0\"\xE3\x80\x80\n", "gxWindow",
                 "1", gx1 + "\n"},
        EditCase{"KeyAndValueAreWrittenAsGiven", "\n", "Some Key", "a\"b\\c",
                 "\nSET Some Key \"a\"b\\c\"\n"},
        EditCase{"OtherLinesKeepTheirBytes", "# note\n  SET a \"1\" \t\nSET gxWindow \"0\"\n",
                 "gxWindow", "1", "# note\n  SET a \"1\" \t\n" + gx1 + "\n"}),
    [](const auto& info) { return std::string(info.param.name); });

class ConfigLineFile : public ::testing::Test {
 protected:
  fs::path file() const { return dir / "WTF/Config.wtf"; }
  fs::path backup() const { return dir / "WTF/Config.wtf.qhbak"; }
  bool set(const std::string& key, const std::string& value) {
    return ClientFiles::setConfigWtfLine(pathsAt(dir.path()), key, value);
  }
  TempDir dir;
};

// One Config.wtf through what can happen to it: a folder in its place, a full
// disk, then a read-only file whose edit keeps the old text as the backup.
TEST_F(ConfigLineFile, AnEditKeepsTheOldTextAndNeverHalfWrites) {
  fs::create_directories(file());
  EXPECT_FALSE(set("gxWindow", "1"));
  EXPECT_TRUE(fs::is_directory(file()));
  fs::remove(file());

  dir.write("WTF/Config.wtf", "SET gxWindow \"0\"\r\n");
  {
    const FileSizeLimit full(0);
    EXPECT_FALSE(set("gxWindow", "1"));
  }
  EXPECT_EQ(slurp(file()), "SET gxWindow \"0\"\r\n");
  EXPECT_EQ(namesIn(dir / "WTF"), std::set<std::string>{"Config.wtf"});

  dir.write("WTF/Config.wtf.qhbak", "an older backup");
  fs::permissions(file(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_TRUE(set("gxWindow", "1"));
  EXPECT_EQ(slurp(file()), "SET gxWindow \"1\"\r\n");
  EXPECT_EQ(slurp(backup()), "SET gxWindow \"0\"\r\n");
  EXPECT_EQ(namesIn(dir / "WTF"), (std::set<std::string>{"Config.wtf", "Config.wtf.qhbak"}));
}

struct LeftAlone {
  const char* name;
  std::string bytes;
};
class ConfigLineLeftAlone : public ConfigLineFile,
                            public ::testing::WithParamInterface<LeftAlone> {};

// Already set, or not text the launcher can edit safely.
TEST_P(ConfigLineLeftAlone, WritesNothingAndReportsFalse) {
  dir.write("WTF/Config.wtf", GetParam().bytes);
  EXPECT_FALSE(set("gxWindow", "1"));
  EXPECT_EQ(slurp(file()), GetParam().bytes);
  EXPECT_FALSE(fs::exists(backup()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigLineLeftAlone,
    ::testing::Values(LeftAlone{"AlreadySet", "SET GXWINDOW \"1\"\r\n"},
                      LeftAlone{"Utf16", std::string("\xFF\xFES\0E\0T\0 \0a\0\r\0\n\0", 16)},
                      LeftAlone{"Binary", std::string("\x00\x9F\x92\x96\xC0\xAF", 6)},
                      LeftAlone{"Latin1", "SET name \"J\xF6rg\"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
