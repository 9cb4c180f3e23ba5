// Links in the client folder that lead out of it: the launcher's clean-ups
// must not delete anything through them.
#include <gtest/gtest.h>

#include "client/addons.h"
#include "client/cache.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class HostileLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    paths.installDir = dir / "client";
    paths.stateDir = dir / "state";
    dir.write("elsewhere/Shared/keep.lua", "mine");
    dir.write("elsewhere/Notes/todo.txt", "mine");
    dir.write("elsewhere/creaturecache.wdb", "mine");
    fs::create_directories(paths.installDir);
  }
  bool untouched() {
    return slurp(dir / "elsewhere/Shared/keep.lua") == "mine" &&
           slurp(dir / "elsewhere/Notes/todo.txt") == "mine" &&
           slurp(dir / "elsewhere/creaturecache.wdb") == "mine";
  }
  TempDir dir;
  Paths paths;
};

TEST_F(HostileLinks, AddonReconciliationDeletesNothingThroughALinkedAddOnsFolder) {
  fs::create_directories(paths.installDir / "Interface");
  fs::create_directory_symlink(dir / "elsewhere", paths.installDir / "Interface/AddOns");
  ClientFiles::reconcileAddons(paths, {"Quests"});
  EXPECT_TRUE(untouched());
}

TEST_F(HostileLinks, AddonReconciliationDeletesNothingThroughALinkedInterfaceFolder) {
  dir.write("elsewhere/AddOns/Other/Other.toc", "mine");
  fs::create_directory_symlink(dir / "elsewhere", paths.installDir / "Interface");
  ClientFiles::reconcileAddons(paths, {"Quests"});
  EXPECT_EQ(slurp(dir / "elsewhere/AddOns/Other/Other.toc"), "mine");
}

TEST_F(HostileLinks, UnofficialAddonLinksLoseOnlyTheLink) {
  dir.write("client/Interface/AddOns/Quests/Quests.toc", "official");
  fs::create_directory_symlink(dir / "elsewhere/Shared",
                               paths.installDir / "Interface/AddOns/Shared");
  ClientFiles::reconcileAddons(paths, {"Quests"});
  EXPECT_TRUE(untouched());
  EXPECT_EQ(slurp(dir / "client/Interface/AddOns/Quests/Quests.toc"), "official");
}

TEST_F(HostileLinks, CacheClearingDeletesNothingThroughLinks) {
  fs::create_directories(paths.installDir / "Cache");
  fs::create_directory_symlink(dir / "elsewhere", paths.installDir / "Cache/WDB");
  EXPECT_EQ(ClientFiles::clearWdbCache(paths), 0);
  EXPECT_TRUE(untouched());
  fs::remove(paths.installDir / "Cache/WDB");
  fs::remove(paths.installDir / "Cache");
  fs::create_directory_symlink(dir / "elsewhere", paths.installDir / "Cache");
  EXPECT_EQ(ClientFiles::clearWdbCache(paths), 0);
  ClientFiles::clearCache(paths);
  EXPECT_TRUE(untouched());
  EXPECT_FALSE(fs::exists(fs::symlink_status(paths.installDir / "Cache")));
}

}  // namespace
