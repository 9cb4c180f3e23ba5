#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "update/install_tree.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

struct PathCase {
  const char* name;
  std::string rel;
  bool safe;
};

class LexicalProblem : public ::testing::TestWithParam<PathCase> {};

TEST_P(LexicalProblem, Judges) {
  EXPECT_EQ(SafePath::lexicalProblem(GetParam().rel).empty(), GetParam().safe) << GetParam().rel;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LexicalProblem,
    ::testing::Values(PathCase{"Plain", "Data/enUS/patch.MPQ", true},
                      PathCase{"OddButLegal", "Data/a b\t#%+\xC3\xA9..x/..y", true},
                      PathCase{"DotsInName", "...", true}, PathCase{"Empty", "", false},
                      PathCase{"Absolute", "/etc/passwd", false},
                      PathCase{"DriveLetter", "C:/Windows/x.dll", false},
                      PathCase{"DriveLetterRelative", "c:x.dll", false},
                      PathCase{"ParentAtStart", "../x", false},
                      PathCase{"ParentInside", "Data/../../x", false},
                      PathCase{"ParentAtEnd", "Data/..", false}, PathCase{"Dot", "Data/./x", false},
                      PathCase{"DoubleSlash", "Data//x", false},
                      PathCase{"TrailingSlash", "Data/", false},
                      PathCase{"Nul", std::string("Data/x\0y", 8), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstallTree, LinksLeadingOutsideAreRefusedLinksInsideAndToTheRootFollowed) {
  TempDir dir;
  dir.write("outside/secret", "s3cret");
  dir.write("client/Data/real/x", "12");
  fs::create_symlink(dir / "outside", dir / "client/Escape");
  fs::create_symlink(dir / "outside/secret", dir / "client/Data/file-link");
  fs::create_symlink("real", dir / "client/Data/inner");
  fs::create_symlink("../../../outside", dir / "client/Data/real/up");
  InstallTree tree(dir / "client");
  std::string why;
  EXPECT_FALSE(tree.locate("Escape/secret", &why));
  EXPECT_EQ(why, "leads outside the install folder");
  EXPECT_FALSE(tree.locate("Escape/new-file"));
  EXPECT_FALSE(tree.locate("Data/file-link"));
  EXPECT_FALSE(tree.locate("Data/inner/up/secret"));
  auto inner = tree.locate("Data/inner/x");
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->size, 2);
  // An install folder behind a link is its own inside.
  fs::create_symlink(dir / "client", dir / "alias");
  auto aliased = InstallTree(dir / "alias").locate("Data/inner/x");
  ASSERT_TRUE(aliased);
  EXPECT_EQ(aliased->size, 2);
}

}  // namespace

}  // namespace qh
