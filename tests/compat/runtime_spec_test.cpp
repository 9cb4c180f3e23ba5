#include "compat/runtime_spec.h"

#include <gtest/gtest.h>

namespace qh {

namespace {

const std::string kBase = "https://dist.example.net/mac";

struct ParseCase {
  const char* name;
  std::string text;
  std::optional<RuntimeSpec> expected;
};

RuntimeSpec spec(std::string id, std::string url, std::string sha, int64_t size, std::string bin,
                 std::optional<std::string> libs = std::nullopt,
                 std::optional<std::string> dxvk = std::nullopt) {
  return {std::move(id),  std::move(url),  std::move(sha), size,
          std::move(bin), std::move(libs), std::move(dxvk)};
}

const std::string kMinimal =
    "wine_id=w1\nwine_url=https://cdn.example.com/w1.tar.xz\nwine_sha256=\nwine_bin=w1/bin/wine\n";

class RuntimeSpecParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RuntimeSpecParseTest, Parses) {
  EXPECT_EQ(RuntimeSpec::parse(GetParam().text, kBase), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RuntimeSpecParseTest,
    ::testing::Values(
        ParseCase{"minimal", kMinimal,
                  spec("w1", "https://cdn.example.com/w1.tar.xz", "", -1, "w1/bin/wine")},
        ParseCase{"full",
                  "wine_id=w2\nwine_url=runtime/w2.tar.xz\nwine_sha256=ABCDEF\nwine_bin=w2/wine\n"
                  "wine_libs=w2/lib\ndxvk_dll=w2/dxvk/d3d9.dll\nwine_size=123456789\n",
                  spec("w2", kBase + "/runtime/w2.tar.xz", "ABCDEF", 123456789, "w2/wine", "w2/lib",
                       "w2/dxvk/d3d9.dll")},
        ParseCase{
            "blanksAroundEqualsAndLine",
            " \twine_id = w3 \nwine_url=\tHTTP://h/a.tar.xz\t\nwine_sha256 =  \n  wine_bin= b \n",
            spec("w3", "HTTP://h/a.tar.xz", "", -1, "b")},
        ParseCase{"commentsAndLinesWithoutEquals",
                  "# wine_id=commented\n  #also\nnot a pair\n" + kMinimal + "wine_libs\n",
                  spec("w1", "https://cdn.example.com/w1.tar.xz", "", -1, "w1/bin/wine")},
        ParseCase{"valueKeepsFurtherEquals",
                  "wine_id=w\nwine_url=https://h/a?x=1&y=2\nwine_sha256=\nwine_bin=a=b\n",
                  spec("w", "https://h/a?x=1&y=2", "", -1, "a=b")},
        ParseCase{"laterKeyWins", kMinimal + "wine_id=w9\nwine_bin=other\n",
                  spec("w9", "https://cdn.example.com/w1.tar.xz", "", -1, "other")},
        ParseCase{"keysAreCaseSensitive", "WINE_ID=x\n" + kMinimal.substr(kMinimal.find('\n') + 1),
                  std::nullopt},
        ParseCase{"carriageReturns",
                  "wine_id=w1\rwine_url=https://cdn.example.com/w1.tar.xz\r\nwine_sha256=\r"
                  "wine_bin=w1/bin/wine\r",
                  spec("w1", "https://cdn.example.com/w1.tar.xz", "", -1, "w1/bin/wine")},
        ParseCase{"unicodeLineSeparators",
                  "wine_id=w1\u2028wine_url=https://cdn.example.com/w1.tar.xz\u0085wine_sha256="
                  "\u2029wine_bin=w1/bin/wine\f",
                  spec("w1", "https://cdn.example.com/w1.tar.xz", "", -1, "w1/bin/wine")},
        ParseCase{"emptyLibsAndDxvkAreAbsent", kMinimal + "wine_libs=\ndxvk_dll=  \n",
                  spec("w1", "https://cdn.example.com/w1.tar.xz", "", -1, "w1/bin/wine")},
        ParseCase{"missingSha", "wine_id=w\nwine_url=https://h/a\nwine_bin=b\n", std::nullopt},
        ParseCase{"emptyId", "wine_id=\nwine_url=https://h/a\nwine_sha256=\nwine_bin=b\n",
                  std::nullopt},
        ParseCase{"urlThatDoesNotParse",
                  "wine_id=w\nwine_url=http://bad host/a b\nwine_sha256=\nwine_bin=b\n",
                  std::nullopt},
        ParseCase{"binaryGarbage", std::string("\x00\xff\xfe=\x01\x80\n\xc3\x28", 10),
                  std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct SizeCase {
  const char* name;
  std::string value;
  int64_t expected;
};

class RuntimeSpecSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(RuntimeSpecSizeTest, ReadsSize) {
  const auto parsed = RuntimeSpec::parse(kMinimal + "wine_size=" + GetParam().value + "\n", kBase);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->size, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RuntimeSpecSizeTest,
                         ::testing::Values(SizeCase{"plain", "1048576", 1048576},
                                           SizeCase{"plus", "+42", 42},
                                           SizeCase{"max", "9223372036854775807", INT64_MAX},
                                           SizeCase{"overflow", "9223372036854775808", -1},
                                           SizeCase{"trailingLetter", "12k", -1},
                                           SizeCase{"empty", "", -1}, SizeCase{"hex", "0x10", -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RuntimeSpecFromTest, PathsThatLeaveTheirFoldersAreNoDescription) {
  const std::map<std::string, std::string> good = {{"wine_id", "w1"},
                                                   {"wine_url", "https://h/w1.tar.xz"},
                                                   {"wine_sha256", ""},
                                                   {"wine_bin", "w1/bin/wine"}};
  ASSERT_TRUE(RuntimeSpec::from(good, kBase));
  for (const std::string pair :
       {"wine_id=..", "wine_id=.", "wine_id=/", "wine_id=a/../..", "wine_id=x\\y",
        "wine_bin=/usr/bin/wine", "wine_bin=../bin/wine", "wine_bin=w1/../../x",
        "wine_libs=/usr/lib", "dxvk_dll=../../d3d9.dll"}) {
    auto table = good;
    const size_t eq = pair.find('=');
    table[pair.substr(0, eq)] = pair.substr(eq + 1);
    EXPECT_FALSE(RuntimeSpec::from(table, kBase)) << pair;
  }
}

}  // namespace

}  // namespace qh
