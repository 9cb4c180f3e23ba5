// The launcher model's install, update and repair commands, with the real
// update engine against qh-serve serving what qh-publish made.
#include <gtest/gtest.h>

#include "model/launcher_model.h"
#include "net/speed_limit.h"
#include "support/qt_wait.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "tools/sample/sample_client.h"
#include "tools/serve/static_server.h"

namespace fs = std::filesystem;

namespace {

class ModelUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  }

  // Publishes `client` and serves it; returns the base URL.
  std::string serve(const fs::path& client) {
    const auto r =
        runTool(QH_PUBLISH, {client.string(), (home / "www").string(), "--version", "7"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    server = std::make_unique<StaticServer>(home / "www");
    EXPECT_GT(server->bind("127.0.0.1", 0), 0);
    server->start();
    return server->url();
  }

  ModelServices recordingSync() {
    ModelServices s;
    s.sync = [this](LauncherModel& m, bool force) -> QCoro::Task<> {
      syncs.push_back(force);
      m.setPhase(Phase::working);
      co_return;
    };
    return s;
  }

  TempDir home;
  std::unique_ptr<StaticServer> server;
  std::vector<bool> syncs;
};

TEST_F(ModelUpdateTest, InstallsThroughThePrimaryActionByteIdentical) {
  SampleClient::generate(home / "source", 200 << 20, 60);
  home.write("source/Data/odd\tname #%+\xC3\xA9 .txt/x", "awkward but legal");
  ModelServices services;
  services.sync = &LauncherModel::runUpdateEngine;
  LauncherModel model(services);
  model.paths().base = serve(home / "source");
  model.setPhase(Phase::needInstall);
  model.setInstallPath("~/Games/Quellhaven");
  model.primaryAction();
  EXPECT_EQ(model.phase(), Phase::working);
  ASSERT_TRUE(spinUntil([&] { return model.phase() != Phase::working; }, 120000));
  EXPECT_EQ(model.status(), "Installed - ready to play!");
  EXPECT_EQ(model.progress(), 1.0);
  EXPECT_EQ(model.installPath(), "~/Games/Quellhaven");
  EXPECT_EQ(model.paths().installDir, home / "Games/Quellhaven");
  EXPECT_EQ(slurp(home / "data/Quellhaven/install_path.txt"), (home / "Games/Quellhaven").string());
  std::string difference;
  EXPECT_TRUE(SampleClient::sameFiles(home / "source", home / "Games/Quellhaven", &difference))
      << difference;
  EXPECT_EQ(slurp(home / "Games/Quellhaven/.qhversion"), "7");
  EXPECT_EQ(model.officialAddons(), (std::vector<std::string>{"Caf\xC3\xA9 #1+%", "Quest Helper"}));

  // Next start: nothing changed, nothing downloaded.
  QCoro::Task<> again = model.sync(false);
  runTask(std::move(again));
  EXPECT_EQ(model.status(), "Up to date - ready to play!");
}

TEST_F(ModelUpdateTest, PrimaryActionRefusesBadFolders) {
  LauncherModel model(recordingSync());
  model.setPhase(Phase::needInstall);
  model.setInstallPath("");
  model.primaryAction();
  EXPECT_EQ(model.status(), "Please choose an install location.");
  home.write("a-file", "x");
  model.setInstallPath(QString::fromStdString((home / "a-file/sub").string()));
  model.primaryAction();
  EXPECT_TRUE(model.status().startsWith("Can't use that folder: ")) << model.status().toStdString();
  EXPECT_EQ(model.phase(), Phase::needInstall);
  EXPECT_FALSE(fs::exists(home / "data/Quellhaven/install_path.txt"));
  EXPECT_TRUE(syncs.empty());
}

TEST_F(ModelUpdateTest, TildeAloneIsTheHomeFolder) {
  LauncherModel model(recordingSync());
  model.setPhase(Phase::needInstall);
  model.setInstallPath("~");
  model.primaryAction();
  drainEvents();
  EXPECT_EQ(model.paths().installDir, home.path());
  EXPECT_EQ(syncs, std::vector<bool>{false});
}

TEST_F(ModelUpdateTest, CommandsDoNothingWhileWorking) {
  home.write("Quellhaven/.qhversion", "1");
  LauncherModel model(recordingSync());
  ASSERT_EQ(model.phase(), Phase::working);
  for (int i = 0; i < 3; ++i) {
    model.primaryAction();
    model.verifyRepair();
    model.clearUpdateCache();
  }
  drainEvents();
  EXPECT_TRUE(syncs.empty());
  EXPECT_TRUE(fs::exists(home / "Quellhaven/.qhversion"));
  EXPECT_FALSE(model.hasAlert());
}

TEST_F(ModelUpdateTest, VerifyRepairForcesAndClearUpdateCacheForgetsTheMarkers) {
  home.write("Quellhaven/.qhversion", "1");
  home.write("Quellhaven/.qhmanifest", "m");
  LauncherModel model(recordingSync());
  model.setPhase(Phase::ready);
  model.verifyRepair();
  model.setPhase(Phase::ready);
  model.clearUpdateCache();
  EXPECT_EQ(syncs, (std::vector<bool>{true, false}));
  EXPECT_FALSE(fs::exists(home / "Quellhaven/.qhversion"));
  EXPECT_FALSE(fs::exists(home / "Quellhaven/.qhmanifest"));
  model.setPhase(Phase::ready);
  model.clearUpdateCache();  // no markers left: still checks
  EXPECT_EQ(syncs.size(), 3u);
}

TEST_F(ModelUpdateTest, SixSpeedStepsComeBackToTheStart) {
  LauncherModel model(ModelServices{});
  SpeedLimit::store(4);
  std::vector<int> seen;
  for (int i = 0; i < 6; ++i) {
    model.cycleSpeedLimit();
    seen.push_back(model.speedStep());
  }
  EXPECT_EQ(seen, (std::vector<int>{5, 0, 1, 2, 3, 4}));
  EXPECT_EQ(SpeedLimit::step(), 4);
  SpeedLimit::store(0);
}

}  // namespace
