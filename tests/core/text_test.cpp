#include "core/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace qh {

namespace {

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
  // What the lenient decoding makes of the bytes.
  std::string lossy;
};

class Utf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, ValidOnlyWhenWellFormedAndLossyReplacesEachBadByte) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(Text::isValidUtf8(c.bytes), c.valid);
  EXPECT_EQ(Text::toUtf8Lossy(c.bytes), c.lossy);
}

const std::string fffd = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Text, Utf8,
    ::testing::Values(
        Utf8Case{"Empty", "", true, ""},
        Utf8Case{"EveryLength", "a\u00E9\u20AC\U0001F600", true, "a\u00E9\u20AC\U0001F600"},
        Utf8Case{"TheLastCodePoint", "\U0010FFFF", true, "\U0010FFFF"},
        Utf8Case{"PastTheLastCodePoint", "\xF4\x90\x80\x80", false, fffd + fffd + fffd + fffd},
        Utf8Case{"OverlongTwo", "\xC0\xAF", false, fffd + fffd},
        Utf8Case{"OverlongThree", "\xE0\x80\xAF", false, fffd + fffd + fffd},
        Utf8Case{"OverlongFour", "\xF0\x80\x80\xAF", false, fffd + fffd + fffd + fffd},
        Utf8Case{"Surrogate", "\xED\xA0\x80", false, fffd + fffd + fffd},
        Utf8Case{"TruncatedAtTheEnd", "a\xE2\x82", false, "a" + fffd + fffd},
        Utf8Case{"LoneContinuation", "\x80z", false, fffd + "z"},
        Utf8Case{"FiveByteLead", "\xF8\x88\x80\x80\x80", false, fffd + fffd + fffd + fffd + fffd},
        Utf8Case{"ALatin1Byte", "caf\xE9!", false, "caf" + fffd + "!"}),
    [](const auto& info) { return std::string(info.param.name); });

struct LinesCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

class SplitLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(SplitLines, AtEveryNewlineDroppingEmptyPieces) {
  EXPECT_EQ(Text::splitLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Text, SplitLines,
    ::testing::Values(LinesCase{"Empty", "", {}}, LinesCase{"OnlyNewlines", "\n\r\n\r", {}},
                      LinesCase{"NoNewline", " a b ", {" a b "}},
                      LinesCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
                      LinesCase{"VerticalTabAndFormFeed", "a\vb\fc", {"a", "b", "c"}},
                      LinesCase{"NextLine", "a\u0085b", {"a", "b"}},
                      LinesCase{"LineAndParagraphSeparators", "a\u2028b\u2029c", {"a", "b", "c"}},
                      // The trailing bytes of a NEL alone are no newline.
                      LinesCase{
                          "ABrokenSequenceStaysInItsLine", "a\x85\xFF\nb", {"a\x85\xFF", "b"}},
                      LinesCase{"BlanksAreKept", "  \n\t", {"  ", "\t"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct TextCase {
  const char* name;
  std::string (*function)(std::string_view);
  std::string in;
  std::string out;
};

class Transform : public ::testing::TestWithParam<TextCase> {};

TEST_P(Transform, GivesExactlyTheBytes) {
  EXPECT_EQ(GetParam().function(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Text, Transform,
    ::testing::Values(
        TextCase{"BlanksFromBothEnds", Text::trimBlanks, " \t a b \t ", "a b"},
        TextCase{"BlanksOnly", Text::trimBlanks, " \t ", ""},
        TextCase{"BlanksLeaveNewlines", Text::trimBlanks, "\n a \r", "\n a \r"},
        TextCase{"WhitespaceAsciiAndUnicode", Text::trimWhitespace,
                 "\r\n\u00A0\u3000 a b\t\u2028\u0085", "a b"},
        TextCase{"WhitespaceOnly", Text::trimWhitespace, " \n\u2003", ""},
        // A zero-width space is no white space; a broken byte is content.
        TextCase{"WhitespaceKeepsZeroWidthSpace", Text::trimWhitespace, "\u200Ba ", "\u200Ba"},
        TextCase{"WhitespaceKeepsABrokenByte", Text::trimWhitespace, " \xFF a\xC2 ", "\xFF a\xC2"},
        TextCase{"HorizontalKeepsNewlines", Text::trimHorizontal, "\t\u2003\na\n \u3000", "\na\n"},
        TextCase{"HorizontalNoBreakSpace", Text::trimHorizontal, "\u00A0a\u202F", "a"},
        TextCase{"LowerAsciiOnly", Text::lower, "AZaz@[`{\u00C4", "azaz@[`{\u00C4"}),
    [](const auto& info) { return std::string(info.param.name); });

// The log, the download error log and the integrity report stamp their
// records in UTC whatever the machine's zone.
TEST(TextUtcTime, IgnoresTheLocalZone) {
  const char* const zone = std::getenv("TZ");
  const std::string previous = zone ? zone : "";
  setenv("TZ", "QHT-5", 1);
  tzset();
  EXPECT_EQ(Text::utcTime(0, "%Y-%m-%dT%H:%M:%SZ"), "1970-01-01T00:00:00Z");
  EXPECT_EQ(Text::utcTime(1709251199, "%Y-%m-%d %H:%M:%S +0000"), "2024-02-29 23:59:59 +0000");
  zone ? setenv("TZ", previous.c_str(), 1) : unsetenv("TZ");
  tzset();
}

}  // namespace

}  // namespace qh
