#include <gtest/gtest.h>

#include <optional>

#include "client/realm_list.h"
#include "core/qh.h"
#include "support/client_folder.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

struct RealmCase {
  const char* name;
  std::string text;
  bool namesHost;
};

class RealmScan : public ::testing::TestWithParam<RealmCase> {};

TEST_P(RealmScan, FindsANamedHost) {
  EXPECT_EQ(ClientFiles::namesRealmHost(GetParam().text), GetParam().namesHost);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealmScan,
    ::testing::Values(RealmCase{"Plain", "set realmlist logon.example.org\r\n", true},
                      RealmCase{"UpperCaseQuoted", "SET REALMLIST \"logon.example.org\"", true},
                      RealmCase{"Indented", " \t Set RealmList other \t\n", true},
                      RealmCase{"NoSpaceAfterKeyword", "set realmlistother.net", true},
                      RealmCase{"SingleQuoteCounts", "set realmlist '", true},
                      RealmCase{"LaterLine", "set realmlist \"\"\nset realmlist b\n", true},
                      RealmCase{"CommentedOut", "#set realmlist other\n", false},
                      RealmCase{"KeywordAlone", "set realmlist\n", false},
                      RealmCase{"OnlyQuotesAndBlanks", "set realmlist  \"\" \t\"", false},
                      RealmCase{"SpaceInsideKeyword", "set realm list other", false},
                      RealmCase{"OtherCommandsOnly", "set patchlist p.example.org\n", false},
                      RealmCase{"CrSeparated", "# old\rset realmlist b", true},
                      RealmCase{"UnicodeSeparators",
                                "#a\xC2\x85#b\xE2\x80\xA8#c\xE2\x80\xA9set realmlist h", true},
                      RealmCase{"HashAfterKeywordIsAHost", "set realmlist #", true}),
    [](const auto& info) { return std::string(info.param.name); });

class RealmFile : public ::testing::Test {
 protected:
  fs::path file() const { return dir / "Data/enUS/realmlist.wtf"; }
  void ensure() { ClientFiles::ensureRealmList(pathsAt(dir.path())); }
  TempDir dir;
};

TEST_F(RealmFile, AFileNamingAnyHostIsLeftByteForByte) {
  const std::string text = "# ours\rSET realmList \"logon.elsewhere.example\"\rset patchlist x";
  dir.write("Data/enUS/realmlist.wtf", text);
  ensure();
  EXPECT_EQ(slurp(file()), text);
}

struct Rewritten {
  const char* name;
  std::optional<std::string> bytes;  // none: no file yet
};
class RealmRewrite : public RealmFile, public ::testing::WithParamInterface<Rewritten> {};

TEST_P(RealmRewrite, BecomesTheOneLine) {
  if (GetParam().bytes) dir.write("Data/enUS/realmlist.wtf", *GetParam().bytes);
  ensure();
  EXPECT_EQ(slurp(file()), "set realmlist " + QH::realmHost() + "\r\n");
  EXPECT_EQ(namesIn(dir / "Data/enUS"), std::set<std::string>{"realmlist.wtf"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealmRewrite,
    ::testing::Values(
        Rewritten{"Missing", std::nullopt},
        Rewritten{"CommentedOut", "# set realmlist old.example\r\nset patchlist p\r\n"},
        Rewritten{"KeywordWithoutHost", "set realmlist \"\"\n"}, Rewritten{"Empty", ""},
        Rewritten{"Utf16",
                  std::string("\xFF\xFEs\0e\0t\0 \0r\0e\0a\0l\0m\0l\0i\0s\0t\0 \0x\0", 32)},
        Rewritten{"Latin1", "set realmlist h\xF6st\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
