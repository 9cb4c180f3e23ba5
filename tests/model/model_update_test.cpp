// The install, update and repair commands through the model, against a real
// server with the real engine.
#include <gtest/gtest.h>

#include "support/model_fixture.h"
#include "support/test_server.h"
#include "update/fake_host.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

class ModelUpdate : public ModelFixture {
 protected:
  ModelUpdate() {
    base = server.url();
    fakes.system.home = dir / "home";
    installRuntime();
    publish("Wow.exe", "MZ-client");
    publish("Data/common.MPQ", "common data");
    rebuild();
  }

  void publish(const std::string& rel, const std::string& bytes) {
    server.setFile("/" + rel, bytes);
    manifest += manifestLine(rel, bytes);
    server.setFile("/manifest.txt", manifest);
    server.setFile("/version.txt", "1.0\n");
  }
  // The client as the last update left it.
  void installed() {
    writeFile(client / "Wow.exe", "MZ-client");
    writeFile(client / "Data/common.MPQ", "common data");
    writeFile(client / ".qhversion", "1.0");
    writeFile(client / ".qhmanifest", manifest);
  }
  void settle() {
    ASSERT_TRUE(spinUntil([this] { return model->phase() != Phase::working; }));
    drainEvents();
  }
  bool showed(const std::string& status) const {
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
  }

  TestServer server;
  std::string manifest;
};

struct FolderCase {
  const char* name;
  const char* typed;
  const char* status;
};

class RefusedFolder : public ModelUpdate, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(RefusedFolder, OnlySetsAStatus) {
  writeFile(dir / "a-file", "x");
  model->setPhase(Phase::needInstall);
  model->setInstallPath(QString::fromStdString(GetParam().typed));
  model->primaryAction();
  drainEvents();
  EXPECT_TRUE(model->status().startsWith(GetParam().status)) << model->status().toStdString();
  EXPECT_EQ(model->phase(), Phase::needInstall);
  EXPECT_FALSE(fs::exists(state / "install_path.txt"));
  EXPECT_TRUE(server.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RefusedFolder,
    ::testing::Values(FolderCase{"empty", "", "Please choose an install location."},
                      FolderCase{"belowAFile", "~/../a-file/sub", "Can't use that folder: "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelUpdate, InstallGoesIntoTheTypedFolderAndIsRememberedForTheNextStart) {
  model->setPhase(Phase::needInstall);
  model->setInstallPath("~/Games/Quellhaven");
  model->primaryAction();
  settle();
  const fs::path target = dir / "home/Games/Quellhaven";
  EXPECT_EQ(model->status(), "Installed - ready to play!");
  EXPECT_EQ(slurp(target / "Wow.exe"), "MZ-client");
  EXPECT_EQ(model->paths().installDir, target);
  EXPECT_EQ(model->installPath(), "~/Games/Quellhaven");
  EXPECT_EQ(slurp(state / "install_path.txt"), target.string());
}

// A second update would write the same files.
TEST_F(ModelUpdate, CommandsDoNothingWhileWorking) {
  installed();
  ASSERT_EQ(model->phase(), Phase::working);
  model->primaryAction();
  model->verifyRepair();
  model->clearUpdateCache();
  drainEvents();
  EXPECT_TRUE(server.requests().empty());
  EXPECT_TRUE(fs::exists(client / ".qhversion"));
  EXPECT_FALSE(model->hasAlert());
}

TEST_F(ModelUpdate, ClearUpdateCacheForgetsTheMarkersAndComparesAgain) {
  installed();
  writeFile(client / ".qhmanifest", "a list from an older update");
  model->setPhase(Phase::ready);
  model->clearUpdateCache();
  EXPECT_FALSE(fs::exists(client / ".qhversion"));
  settle();
  EXPECT_TRUE(showed("Comparing files..."));
  EXPECT_EQ(slurp(client / ".qhmanifest"), manifest);
  EXPECT_EQ(model->status(), "Up to date - ready to play!");
}

// Verify and repair finds a file damaged in place. Only a run that put new
// files in place clears what the client cached about the old ones.
TEST_F(ModelUpdate, VerifyRepairsADamagedFileAndOnlyNewFilesClearTheWdbCache) {
  installed();
  writeFile(client / "Cache/WDB/enUS/creaturecache.wdb", "stale");
  model->setPhase(Phase::ready);
  model->verifyRepair();
  settle();
  EXPECT_TRUE(fs::exists(client / "Cache/WDB/enUS/creaturecache.wdb"));

  writeFile(client / "Data/common.MPQ", "common DATA");
  statuses.clear();
  model->verifyRepair();
  settle();
  EXPECT_TRUE(showed("Verifying files..."));
  EXPECT_EQ(slurp(client / "Data/common.MPQ"), "common data");
  EXPECT_EQ(model->status(), "Installed - ready to play!");
  EXPECT_FALSE(fs::exists(client / "Cache/WDB/enUS/creaturecache.wdb"));
  EXPECT_NE(logText().find("  cleared 1 WDB cache files\n"), std::string::npos) << logText();
}

}  // namespace

}  // namespace qh
