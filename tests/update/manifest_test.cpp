#include <gtest/gtest.h>

#include "update/manifest.h"

namespace qh {

namespace {

struct ParseCase {
  const char* name;
  std::string text;
  std::vector<ManifestEntry> want;
};

class ParseManifest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseManifest, Parses) {
  EXPECT_EQ(Manifest::parse(GetParam().text), GetParam().want);
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
        ParseCase{"SizeNotANumber", "x\t12a\ta\nx\t\ta\n", {}},
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
        ParseCase{"Garbage", std::string("\x00\xff\xfe\t\x01", 5), {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OfficialAddons, FirstCaseWinsAndLooseFilesAreIgnored) {
  const auto entries = Manifest::parse(
      "a\t1\tInterface/AddOns/Foo/a.lua\n"
      "a\t1\tinterface/addons/FOO/b.lua\n"
      "a\t1\tInterface/AddOns/readme.txt\n"
      "a\t1\tInterface/AddOns//x.lua\n"
      "a\t1\tInterface\\AddOns\\Bar\\Bar.toc\n"
      "a\t1\tData/Interface/AddOns/Baz/x\n");
  EXPECT_EQ(Manifest::officialAddons(entries), (std::vector<std::string>{"Foo", "Bar"}));
}

}  // namespace

}  // namespace qh
