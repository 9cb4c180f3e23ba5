#include "core/files.h"

#include <gtest/gtest.h>

#include <set>

#include "support/client_folder.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// A client folder holding links of every kind, beside a folder outside it
// whose name begins with the client's.
class ResolvesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("client/Data/a.MPQ", "a");
    dir.write("client-old/x", "x");
    dir.write("elsewhere/y", "y");
    fs::create_directory_symlink("Data", root() / "inside");
    fs::create_directory_symlink(dir / "elsewhere", root() / "out");
    fs::create_directory_symlink("chain2", root() / "chain1");
    fs::create_directory_symlink("Data", root() / "chain2");
    fs::create_directory_symlink("chainOut2", root() / "chainOut1");
    fs::create_directory_symlink("../elsewhere", root() / "chainOut2");
    fs::create_directory_symlink(".", root() / "self");
    fs::create_symlink(dir / "gone/file", root() / "danglingOut");
    fs::create_symlink("Data/gone", root() / "danglingIn");
    fs::create_directory_symlink(root(), dir / "rootLink");
  }
  fs::path root() const { return dir / "client"; }
  TempDir dir;
};

struct Place {
  const char* name;
  const char* root;  // below the test folder
  const char* path;  // below the test folder
  bool inside;
  bool below;
};

class Resolves : public ResolvesTest, public ::testing::WithParamInterface<Place> {};

TEST_P(Resolves, ThroughEveryLinkOnTheWay) {
  const Place& p = GetParam();
  EXPECT_EQ(Files::resolvesInside(dir / p.root, dir / p.path), p.inside);
  EXPECT_EQ(Files::resolvesBelow(dir / p.root, dir / p.path), p.below);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Resolves,
    ::testing::Values(
        Place{"AFile", "client", "client/Data/a.MPQ", true, true},
        Place{"RootItself", "client", "client", true, false},
        Place{"RootWithASlash", "client/", "client/Data/", true, true},
        Place{"ALinkInside", "client", "client/inside/a.MPQ", true, true},
        Place{"ALinkLeadingOut", "client", "client/out/y", false, false},
        Place{"AChainOfLinks", "client", "client/chain1/a.MPQ", true, true},
        Place{"AChainLeadingOut", "client", "client/chainOut1/y", false, false},
        Place{"AMissingTail", "client", "client/Data/new/deeper.MPQ", true, true},
        Place{"AMissingTailBehindALinkOut", "client", "client/out/new/deeper.MPQ", false, false},
        Place{"ALinkToTheRoot", "client", "client/self", true, false},
        Place{"ADanglingLinkOut", "client", "client/danglingOut", false, false},
        Place{"ADanglingLinkInside", "client", "client/danglingIn", true, true},
        Place{"DotsLeadingOut", "client", "client/Data/../../elsewhere/y", false, false},
        Place{"ASiblingSharingTheName", "client", "client-old/x", false, false},
        Place{"TheRootThroughALink", "rootLink", "client/Data/a.MPQ", true, true},
        Place{"TheRootsParent", "client", ".", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// However a write fails, the old file stays as it was and nothing else is
// left in its folder.
TEST(FilesWriteAtomic, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  TempDir dir;
  const fs::path file = dir.write("f.txt", "old");
  {
    // The temporary is made, then fills up part of the way.
    const FileSizeLimit full(4);
    EXPECT_EQ(Files::writeAtomic(file, "new bytes"), std::errc::file_too_large);
  }
  EXPECT_EQ(slurp(file), "old");
  EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"f.txt"});

  // Written in full, but a folder stands where it would go.
  dir.write("folder/held", "");
  EXPECT_TRUE(Files::writeAtomic(dir / "folder", "new bytes"));
  EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"f.txt", "folder"}));
  EXPECT_EQ(namesIn(dir / "folder"), std::set<std::string>{"held"});

  EXPECT_EQ(Files::writeAtomic(dir / "missing/f.txt", "new"), std::errc::no_such_file_or_directory);
  EXPECT_FALSE(fs::exists(dir / "missing"));

  EXPECT_FALSE(Files::writeAtomic(file, "new bytes"));
  EXPECT_EQ(slurp(file), "new bytes");
  EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"f.txt", "folder"}));
}

// A file that says it is empty may hold bytes all the same (the kernel's own
// files do), and one that is not text is refused as text.
TEST(FilesRead, ReadsToTheEndNotToTheAnnouncedSize) {
#ifdef __linux__
  const auto status = Files::read("/proc/self/status");
  ASSERT_TRUE(status);
  EXPECT_NE(status->find("\nPid:"), std::string::npos);
#endif
  TempDir dir;
  EXPECT_FALSE(Files::read(dir.path()));
  EXPECT_EQ(Files::readUtf8(dir.write("ok.txt", "caf\xC3\xA9")), "caf\xC3\xA9");
  EXPECT_FALSE(Files::readUtf8(dir.write("bad.txt", "caf\xE9")));
}

}  // namespace

}  // namespace qh
