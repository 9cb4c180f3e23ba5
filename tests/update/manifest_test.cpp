#include <gtest/gtest.h>

#include <charconv>
#include <random>

#include "core/text.h"
#include "support/temp_dir.h"
#include "update/manifest.h"
#include "update/markers.h"

namespace {

struct ParseCase {
  const char* name;
  std::string text;
  std::vector<ManifestEntry> want;
};

class ParseManifest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseManifest, Parses) {
  EXPECT_EQ(ClientFiles::parseManifest(GetParam().text), GetParam().want);
}

const std::string sha = "0123456789abcdef0123456789abcdef01234567";

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseManifest,
    ::testing::Values(
        ParseCase{"Plain", sha + "\t12\tData/a.MPQ\n", {{sha, 12, "Data/a.MPQ"}}},
        ParseCase{"SpaceInsteadOfTab", sha + " 12 Data/a.txt\n", {}},
        ParseCase{"ExtraFieldsJoinWithTab", "x\t12\tData\tx.txt", {{"x", 12, "Data\tx.txt"}}},
        ParseCase{"Backslashes",
                  "x\t1\tInterface\\AddOns\\Foo\\Foo.toc",
                  {{"x", 1, "Interface/AddOns/Foo/Foo.toc"}}},
        ParseCase{"SizeWithLetters", "x\t12a\ta\n", {}}, ParseCase{"EmptySize", "x\t\ta\n", {}},
        ParseCase{"Signs", "x\t+12\ta\ny\t-1\tb\n", {{"x", 12, "a"}, {"y", -1, "b"}}},
        ParseCase{"DoubleSigns", "x\t+-1\ta\nx\t--1\ta\nx\t++1\ta\nx\t-\ta\nx\t+\ta\n", {}},
        ParseCase{"SizeOutOfRange",
                  "x\t9223372036854775808\ta\nx\t9223372036854775807\tb",
                  {{"x", 9223372036854775807, "b"}}},
        ParseCase{"TrimmedEnds", "  \t x\t3\tmy file.txt  \t\n", {{"x", 3, "my file.txt"}}},
        ParseCase{"UnicodeSpacesTrimmed", "\xC2\xA0x\t3\ta\xE2\x80\x83", {{"x", 3, "a"}}},
        ParseCase{"EveryNewline",
                  "a\t1\tp1\rb\t2\tp2\r\nc\t3\tp3\vd\t4\tp4\fe\t5\tp5\xC2\x85"
                  "f\t6\tp6\xE2\x80\xA8g\t7\tp7\xE2\x80\xA9h\t8\tp8",
                  {{"a", 1, "p1"},
                   {"b", 2, "p2"},
                   {"c", 3, "p3"},
                   {"d", 4, "p4"},
                   {"e", 5, "p5"},
                   {"f", 6, "p6"},
                   {"g", 7, "p7"},
                   {"h", 8, "p8"}}},
        ParseCase{"TwoFieldsAfterTrim", "x\t12\t\n", {}},
        ParseCase{"DuplicatesKeptInOrder", "x\t1\ta\ny\t2\ta\n", {{"x", 1, "a"}, {"y", 2, "a"}}},
        ParseCase{"Garbage", std::string("\x00\xff\xfe\t\x01", 5), {}}, ParseCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Lines as the general text helpers see them: split at every newline
// character, trimmed of every white space, then the three fields.
std::vector<ManifestEntry> parsedByTheTextHelpers(const std::string& text) {
  std::vector<ManifestEntry> entries;
  for (const std::string& raw : text::splitLines(text)) {
    const std::string line = text::trimWhitespace(raw);
    const size_t tab1 = line.find('\t');
    const size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) continue;
    const std::string size = line.substr(tab1 + 1, tab2 - tab1 - 1);
    // The size rules have their own table above; these lines use plain digits.
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(size.data(), size.data() + size.size(), value);
    if (size.empty() || size[0] == '-' || ec != std::errc() || end != size.data() + size.size()) {
      continue;
    }
    std::string rel = line.substr(tab2 + 1);
    for (char& c : rel) c = c == '\\' ? '/' : c;
    entries.push_back({line.substr(0, tab1), value, rel});
  }
  return entries;
}

// Random lines built from the pieces where a byte-level reader could go
// wrong: every newline character, Unicode spaces at the ends, stray and
// truncated multi-byte sequences, blanks and tabs.
TEST(ParseManifestRandom, AgreesWithTheTextHelpers) {
  const std::vector<std::string> pieces = {
      "a",        "Data/x.MPQ",   "\t",           "\t7\t",        " ",
      "12",       "\\",           "\n",           "\r",           "\r\n",
      "\v",       "\f",           "\xC2\x85",     "\xE2\x80\xA8", "\xE2\x80\xA9",
      "\xC2\xA0", "\xE3\x80\x80", "\xE2\x80\x83", "\x85",         "\xC2",
      "\xE2\x80", "\xE2",         "\xA0",         "\xC3\xA9",     "\xF0\x9F\x99\x82",
      "\xFF"};
  std::mt19937 rng(20261206);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(rng() % 24);
    for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];
    ASSERT_EQ(ClientFiles::parseManifest(text), parsedByTheTextHelpers(text))
        << ::testing::PrintToString(text);
  }
}

TEST(OfficialAddons, FirstCaseWinsAndLooseFilesAreIgnored) {
  const auto entries = ClientFiles::parseManifest(
      "a\t1\tInterface/AddOns/Foo/a.lua\n"
      "a\t1\tinterface/addons/FOO/b.lua\n"
      "a\t1\tInterface/AddOns/readme.txt\n"
      "a\t1\tInterface/AddOns//x.lua\n"
      "a\t1\tInterface\\AddOns\\Bar\\Bar.toc\n"
      "a\t1\tData/Interface/AddOns/Baz/x\n");
  EXPECT_EQ(ClientFiles::officialAddons(entries), (std::vector<std::string>{"Foo", "Bar"}));
}

TEST(FileSize, FilesOnlyNeverThrows) {
  TempDir dir;
  dir.write("a", "12345");
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink(dir / "a", dir / "link");
  EXPECT_EQ(ClientFiles::fileSize(dir / "a"), 5);
  EXPECT_EQ(ClientFiles::fileSize(dir / "link"), 5);
  EXPECT_EQ(ClientFiles::fileSize(dir / "folder"), std::nullopt);
  EXPECT_EQ(ClientFiles::fileSize(dir / "missing"), std::nullopt);
}

TEST(Markers, RoundTripTrimsOnlyTheVersion) {
  TempDir dir;
  EXPECT_EQ(Markers::readVersion(dir.path()), "");
  EXPECT_EQ(Markers::readManifest(dir.path()), "");
  EXPECT_TRUE(Markers::write(dir.path(), "1.0", " a\t1\tb\r\n"));
  EXPECT_EQ(slurp(dir / ".qhversion"), "1.0");
  EXPECT_EQ(Markers::readManifest(dir.path()), " a\t1\tb\r\n");
  dir.write(".qhversion", "\n 2.0 \n");
  EXPECT_EQ(Markers::readVersion(dir.path()), "2.0");
  Markers::remove(dir.path());
  EXPECT_FALSE(std::filesystem::exists(dir / ".qhversion"));
  EXPECT_FALSE(std::filesystem::exists(dir / ".qhmanifest"));
  EXPECT_FALSE(Markers::write(dir / "missing", "1", "m"));
}

}  // namespace
