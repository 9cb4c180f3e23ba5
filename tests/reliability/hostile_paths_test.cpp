// Links in the client folder that lead out of it: nothing the launcher does
// there reads, writes or deletes anything through them.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "client/addons.h"
#include "client/cache.h"
#include "client/config_wtf.h"
#include "client/realm_list.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "support/tree_of.h"
#include "update/fake_host.h"
#include "update/integrity_report.h"
#include "update/update_engine.h"

namespace qh {

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
    dir.write("elsewhere/Config.wtf", "SET gxWindow \"0\"\r\n");
    dir.write("elsewhere/AddOns/Other/Other.toc", "mine");
    fs::create_directories(paths.installDir);
  }
  std::map<std::string, std::string> elsewhere() const { return treeOf(dir / "elsewhere"); }
  void link(const fs::path& target, const std::string& rel) {
    fs::create_directories((paths.installDir / rel).parent_path());
    fs::create_symlink(target, paths.installDir / rel);
  }
  TempDir dir;
  Paths paths;
};

struct LinkCase {
  const char* name;
  // The link to make: what below "elsewhere" ("" for itself), where in the client.
  std::string target, at;
  // What the launcher does there, with the checks of its own result.
  std::function<void(const Paths&)> act;
};

class LinkedOut : public HostileLinks, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkedOut, ChangesNothingOutside) {
  link(dir / "elsewhere" / GetParam().target, GetParam().at);
  const auto before = elsewhere();
  GetParam().act(paths);
  EXPECT_EQ(elsewhere(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkedOut,
    ::testing::Values(
        LinkCase{"AddOnsFolder", "", "Interface/AddOns",
                 [](const Paths& p) { ClientFiles::reconcileAddons(p, {"Quests"}); }},
        // The folder that holds the "creaturecache.wdb" to keep.
        LinkCase{"WdbFolder", "", "Cache/WDB",
                 [](const Paths& p) { EXPECT_EQ(ClientFiles::clearWdbCache(p), 0); }},
        LinkCase{"CacheFolder", "", "Cache",
                 [](const Paths& p) {
                   EXPECT_EQ(ClientFiles::clearWdbCache(p), 0);
                   ClientFiles::clearCache(p);
                   EXPECT_FALSE(fs::exists(fs::symlink_status(p.installDir / "Cache")));
                 }},
        // The settings are neither read from nor written to what the link leads to.
        LinkCase{"ConfigWtf", "Config.wtf", "WTF/Config.wtf",
                 [](const Paths& p) {
                   ClientFiles::ensureConfigWtf(p);
                   EXPECT_FALSE(ClientFiles::setConfigWtfLine(p, "gxWindow", "1"));
                   EXPECT_FALSE(fs::exists(p.installDir / "WTF/Config.wtf.qhbak"));
                 }},
        LinkCase{"RealmListData", "", "Data",
                 [](const Paths& p) { ClientFiles::ensureRealmList(p); }},
        LinkCase{"OneAccount", "", "WTF/Account/LINKED",
                 [](const Paths& p) {
                   const fs::path real = p.installDir / "WTF/Account/REAL";
                   writeFile(real / "Realm/Char/AddOns.txt", "Old: enabled\r\n");
                   ClientFiles::reconcileAddons(p, {"Quests"});
                   EXPECT_EQ(slurp(real / "AddOns.txt"), "Quests: enabled\r\n");
                   EXPECT_EQ(slurp(real / "Realm/Char/AddOns.txt"), "Quests: enabled\r\n");
                 }},
        LinkCase{"SavedVariables", "", "WTF/SavedVariables",
                 [](const Paths& p) { EXPECT_FALSE(IntegrityReport::write(p.installDir)); }}),
    [](const auto& info) { return std::string(info.param.name); });

// What the update engine finds in the client folder as links leading out: a
// ".part" and the markers. Read through, the markers would say "nothing
// changed" without a look at the files.
TEST_F(HostileLinks, UpdateNeitherReadsNorWritesThroughMarkersOrAPart) {
  const std::string manifest = manifestLine("Data/a.MPQ", "new bytes");
  TestServer server;
  server.setFile("/version.txt", "5\n");
  server.setFile("/Data/a.MPQ", "new bytes");
  server.setFile("/manifest.txt", manifest);
  dir.write("elsewhere/manifest", manifest);
  dir.write("elsewhere/version", "5");
  dir.write("client/Wow.exe", "MZ");
  link(dir / "elsewhere/manifest", ".qhmanifest");
  link(dir / "elsewhere/version", ".qhversion");
  link(dir / "elsewhere/Notes/todo.txt", "Data/a.MPQ.part");
  const auto before = elsewhere();
  auto host = FakeHost::make(server.url(), paths.installDir, paths.stateDir);
  runTask(UpdateEngine::sync(host, false));
  EXPECT_EQ(elsewhere(), before);
  EXPECT_EQ(host->phase, Phase::ready);
  EXPECT_FALSE(fs::is_symlink(paths.installDir / "Data/a.MPQ"));
  EXPECT_EQ(slurp(paths.installDir / "Data/a.MPQ"), "new bytes");
  EXPECT_EQ(slurp(paths.installDir / ".qhversion"), "5");
  EXPECT_FALSE(fs::is_symlink(paths.installDir / ".qhmanifest"));
}

}  // namespace

}  // namespace qh
