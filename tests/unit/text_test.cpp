#include <gtest/gtest.h>

#include "core/text.h"

namespace {

using Lines = std::vector<std::string>;

TEST(Text, SplitLinesAtEveryNewlineAndDropsEmptyPieces) {
  EXPECT_EQ(text::splitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(text::splitLines("\n\n a \n"), (Lines{" a "}));
  EXPECT_EQ(text::splitLines("x\vy\fz"), (Lines{"x", "y", "z"}));
  EXPECT_EQ(text::splitLines("p\xC2\x85q\xE2\x80\xA8r\xE2\x80\xA9s"), (Lines{"p", "q", "r", "s"}));
  EXPECT_EQ(text::splitLines(""), Lines{});
}

TEST(Text, TrimsOnlyWhatItPromises) {
  EXPECT_EQ(text::trimBlanks(" \t a b \t "), "a b");
  EXPECT_EQ(text::trimBlanks(" \na\n "), "\na\n");
  EXPECT_EQ(text::trimWhitespace("\xC2\xA0\r\n v1.2 \n\xE2\x80\xA8"), "v1.2");
  EXPECT_EQ(text::trimWhitespace(" \n\t "), "");
  EXPECT_EQ(text::trimHorizontal("\xC2\xA0\t\xE3\x80\x80x y\xE2\x80\x8A "), "x y");
  EXPECT_EQ(text::trimHorizontal(" \r\n "), "\r\n");
}

TEST(Text, Utf8ValidityAndLossyDecoding) {
  EXPECT_TRUE(text::isValidUtf8("plain \xC3\xA9\xF0\x9F\x98\x80"));
  EXPECT_FALSE(text::isValidUtf8("\xC0\xAF"));      // overlong "/"
  EXPECT_FALSE(text::isValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(text::isValidUtf8("\xE2\x82"));      // truncated
  EXPECT_EQ(text::toUtf8Lossy("a\xFF"
                              "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(text::lower("WoW.EXE"), "wow.exe");
}

}  // namespace
