// What the diagnostics hide: the home folder wherever a path starts with it,
// the login name wherever it stands on its own, in any letter case.
#include <gtest/gtest.h>

#include "model/diagnostics_files.h"
#include "model/diagnostics_redaction.h"

namespace qh {

namespace {

struct Case {
  const char* text;
  const char* hidden;
};

class RedactionTest : public ::testing::TestWithParam<Case> {};

TEST_P(RedactionTest, HidesTheHomeFolderAndTheName) {
  // The home folder through a link, as the system resolves it, too.
  const Redaction redaction({"/home/kim", "/data/users/kim/"}, "Kim");
  EXPECT_EQ(redaction.apply(GetParam().text), GetParam().hidden) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RedactionTest,
    ::testing::Values(
        Case{"/home/kim/Quellhaven/Wow.exe", "~/Quellhaven/Wow.exe"}, Case{"cd /home/kim", "cd ~"},
        Case{"\"/home/kim\"", "\"~\""}, Case{"/data/users/kim/x", "~/x"},
        // Another user's folder that starts the same stays as it is.
        Case{"/home/kimberly/x", "/home/kimberly/x"}, Case{"/home/kim.old/x", "/home/<user>.old/x"},
        Case{"Z:\\home\\KIM\\drive_c", "Z:\\home\\<user>\\drive_c"},
        Case{"C:\\users\\kim\\AppData", "C:\\users\\<user>\\AppData"},
        Case{"kim: kim-2 kim_old (kim)", "<user>: <user>-2 <user>_old (<user>)"},
        // Inside another word it is not the name.
        Case{"akimbo kimono Kim2", "akimbo kimono Kim2"}, Case{"kimkim", "kimkim"}, Case{"", ""}));

TEST(Redaction, NoNameAndNoHomeHideNothing) {
  EXPECT_EQ(Redaction({"", "/"}, "").apply("/home/kim and kim"), "/home/kim and kim");
}

TEST(LastLines, KeepsWholeLinesWithinTheCap) {
  bool cut = false;
  EXPECT_EQ(Diagnostics::lastLines("aa\nbb\ncc\n", 9, cut), "aa\nbb\ncc\n");
  EXPECT_FALSE(cut);
  EXPECT_EQ(Diagnostics::lastLines("aa\nbb\ncc\n", 8, cut), "bb\ncc\n");
  EXPECT_TRUE(cut);
  // The window starting right after a line break keeps that line.
  cut = false;
  EXPECT_EQ(Diagnostics::lastLines("aa\nbb\ncc\n", 6, cut), "bb\ncc\n");
  EXPECT_EQ(Diagnostics::lastLines("aa\nbb\ncc\n", 5, cut), "cc\n");
  EXPECT_EQ(Diagnostics::lastLines("abcdefgh\n", 4, cut), "fgh\n");
}

}  // namespace

}  // namespace qh
