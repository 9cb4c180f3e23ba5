#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "update/install_tree.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

using Problem = SafePath::Problem;

struct PathCase {
  const char* name;
  std::string rel;
  Problem problem;
};

class LexicalProblem : public ::testing::TestWithParam<PathCase> {};

TEST_P(LexicalProblem, Judges) {
  EXPECT_EQ(SafePath::lexicalProblem(GetParam().rel), GetParam().problem) << GetParam().rel;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LexicalProblem,
    ::testing::Values(PathCase{"Plain", "Data/enUS/patch.MPQ", Problem::none},
                      PathCase{"OddButLegal", "Data/a b\t#%+\xC3\xA9..x/..y", Problem::none},
                      PathCase{"DotsInName", "...", Problem::none},
                      PathCase{"Empty", "", Problem::empty},
                      PathCase{"Absolute", "/etc/passwd", Problem::absolute},
                      PathCase{"DriveLetter", "C:/Windows/x.dll", Problem::driveLetter},
                      PathCase{"DriveLetterRelative", "c:x.dll", Problem::driveLetter},
                      PathCase{"ParentAtStart", "../x", Problem::dotDotComponent},
                      PathCase{"ParentInside", "Data/../../x", Problem::dotDotComponent},
                      PathCase{"ParentAtEnd", "Data/..", Problem::dotDotComponent},
                      PathCase{"Dot", "Data/./x", Problem::dotComponent},
                      PathCase{"DoubleSlash", "Data//x", Problem::emptyComponent},
                      PathCase{"TrailingSlash", "Data/", Problem::emptyComponent},
                      PathCase{"Nul", std::string("Data/x\0y", 8), Problem::nul}),
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
  for (const char* rel :
       {"Escape/secret", "Escape/new-file", "Data/file-link", "Data/inner/up/secret"}) {
    const InstallTree::Target refused = tree.locate(rel);
    EXPECT_EQ(refused.problem, Problem::leadsOutside) << rel;
    EXPECT_TRUE(refused.file.empty()) << rel;
    EXPECT_FALSE(refused.size) << rel;
  }
  EXPECT_EQ(tree.locate("Data//x").problem, Problem::emptyComponent);
  const InstallTree::Target inner = tree.locate("Data/inner/x");
  EXPECT_EQ(inner.problem, Problem::none);
  EXPECT_EQ(inner.size, 2);
  // An install folder behind a link is its own inside.
  fs::create_symlink(dir / "client", dir / "alias");
  const InstallTree::Target aliased = InstallTree(dir / "alias").locate("Data/inner/x");
  EXPECT_EQ(aliased.problem, Problem::none);
  EXPECT_EQ(aliased.size, 2);
}

}  // namespace

}  // namespace qh
