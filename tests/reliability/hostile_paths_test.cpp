// Links in the client folder that lead out of it: nothing the launcher does
// there reads, writes or deletes anything through them.
#include <gtest/gtest.h>

#include <map>

#include "client/addons.h"
#include "client/cache.h"
#include "client/config_wtf.h"
#include "client/realm_list.h"
#include "compat/integrity_report.h"
#include "net/hash.h"
#include "support/fake_clock.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "update/fake_host.h"
#include "update/update_engine.h"

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
  // Every file and folder below "elsewhere" with its bytes.
  std::map<std::string, std::string> elsewhere() {
    std::map<std::string, std::string> seen;
    for (const auto& e : fs::recursive_directory_iterator(dir / "elsewhere")) {
      seen[fs::relative(e.path(), dir / "elsewhere").string()] =
          e.is_regular_file() ? slurp(e.path()) : std::string("<folder>");
    }
    return seen;
  }
  void link(const fs::path& target, const std::string& rel) {
    fs::create_directories((paths.installDir / rel).parent_path());
    fs::create_symlink(target, paths.installDir / rel);
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

// The client's settings are neither read from nor written to a folder or file
// the links lead to.
TEST_F(HostileLinks, ConfigWtfGoesNowhereThroughALinkedWtfFolder) {
  dir.write("elsewhere/Config.wtf", "SET gxWindow \"0\"\r\n");
  link(dir / "elsewhere", "WTF");
  const auto before = elsewhere();
  ClientFiles::ensureConfigWtf(paths);
  EXPECT_FALSE(ClientFiles::setConfigWtfLine(paths, "gxWindow", "1"));
  EXPECT_EQ(elsewhere(), before);
}

TEST_F(HostileLinks, ConfigWtfLinkedOutIsLeftAlone) {
  dir.write("elsewhere/Config.wtf", "SET gxWindow \"0\"\r\n");
  link(dir / "elsewhere/Config.wtf", "WTF/Config.wtf");
  const auto before = elsewhere();
  ClientFiles::ensureConfigWtf(paths);
  EXPECT_FALSE(ClientFiles::setConfigWtfLine(paths, "gxWindow", "1"));
  EXPECT_EQ(elsewhere(), before);
  EXPECT_FALSE(fs::exists(paths.installDir / "WTF/Config.wtf.qhbak"));
}

TEST_F(HostileLinks, LinksInsideTheClientAreFollowed) {
  fs::create_directories(paths.installDir / "Settings");
  link("Settings", "WTF");
  ClientFiles::ensureConfigWtf(paths);
  EXPECT_TRUE(ClientFiles::setConfigWtfLine(paths, "gxResolution", "1280x800"));
  EXPECT_NE(slurp(paths.installDir / "Settings/Config.wtf").find("SET gxResolution \"1280x800\""),
            std::string::npos);
}

TEST_F(HostileLinks, RealmListGoesNowhereThroughALinkedFolder) {
  link(dir / "elsewhere", "Data");
  const auto before = elsewhere();
  ClientFiles::ensureRealmList(paths);
  EXPECT_EQ(elsewhere(), before);
  fs::remove(paths.installDir / "Data");
  link(dir / "elsewhere", "Data/enUS");
  ClientFiles::ensureRealmList(paths);
  EXPECT_EQ(elsewhere(), before);
}

TEST_F(HostileLinks, AddonListsGoNowhereThroughLinkedAccountFolders) {
  link(dir / "elsewhere", "WTF/Account/LINKED");
  dir.write("client/WTF/Account/REAL/Realm/Char/AddOns.txt", "Old: enabled\r\n");
  const auto before = elsewhere();
  ClientFiles::reconcileAddons(paths, {"Quests"});
  EXPECT_EQ(elsewhere(), before);
  EXPECT_EQ(slurp(dir / "client/WTF/Account/REAL/AddOns.txt"), "Quests: enabled\r\n");
  EXPECT_EQ(slurp(dir / "client/WTF/Account/REAL/Realm/Char/AddOns.txt"), "Quests: enabled\r\n");

  fs::remove_all(paths.installDir / "WTF");
  link(dir / "elsewhere", "WTF/Account");
  ClientFiles::reconcileAddons(paths, {"Quests"});
  EXPECT_EQ(elsewhere(), before);
}

TEST_F(HostileLinks, IntegrityReportGoesNowhereThroughALinkedFolder) {
  link(dir / "elsewhere", "WTF/SavedVariables");
  const auto before = elsewhere();
  EXPECT_FALSE(IntegrityReport::write(paths.installDir));
  EXPECT_EQ(elsewhere(), before);
}

// What the update engine finds in the client folder as links leading out.
class HostileUpdateLinks : public HostileLinks {
 protected:
  void SetUp() override {
    HostileLinks::SetUp();
    server.setFile("/version.txt", "5\n");
    server.setFile("/Data/a.MPQ", "new bytes");
    manifest = Hash::sha1(dir.write("a.MPQ", "new bytes")) + "\t9\tData/a.MPQ\n";
    server.setFile("/manifest.txt", manifest);
    host->paths_ = paths;
    host->paths_.base = server.url();
    host->timing_.clock = std::make_shared<FakeClock>();
    fs::create_directories(paths.stateDir);
  }
  TestServer server;
  std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
  std::string manifest;
};

TEST_F(HostileUpdateLinks, APartFileLinkedOutIsReplacedNotWrittenThrough) {
  link(dir / "elsewhere/Notes/todo.txt", "Data/a.MPQ.part");
  const auto before = elsewhere();
  runTask(UpdateEngine::sync(host, false));
  EXPECT_EQ(elsewhere(), before);
  EXPECT_EQ(host->phase, Phase::ready);
  EXPECT_FALSE(fs::is_symlink(paths.installDir / "Data/a.MPQ"));
  EXPECT_EQ(slurp(paths.installDir / "Data/a.MPQ"), "new bytes");
}

TEST_F(HostileUpdateLinks, MarkersLinkedOutAreNeitherReadNorWrittenThrough) {
  dir.write("elsewhere/manifest", manifest);
  dir.write("elsewhere/version", "5");
  dir.write("client/Wow.exe", "MZ");
  link(dir / "elsewhere/manifest", ".qhmanifest");
  link(dir / "elsewhere/version", ".qhversion");
  const auto before = elsewhere();
  runTask(UpdateEngine::sync(host, false));
  EXPECT_EQ(elsewhere(), before);
  // Read through, the links would have said "nothing changed" without a look at the files.
  EXPECT_EQ(slurp(paths.installDir / "Data/a.MPQ"), "new bytes");
  EXPECT_EQ(slurp(paths.installDir / ".qhversion"), "5");
  EXPECT_FALSE(fs::is_symlink(paths.installDir / ".qhmanifest"));
}

}  // namespace
