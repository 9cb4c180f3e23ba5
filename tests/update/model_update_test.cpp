// The launcher model's install, update and repair commands, over a recorded
// update step.
#include <gtest/gtest.h>

#include "model/launcher_model.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

class ModelUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
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
  std::vector<bool> syncs;
};

TEST_F(ModelUpdateTest, PrimaryActionRefusesBadFoldersAndInstallsWhereAsked) {
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

  model.setInstallPath("~/Games/Quellhaven");
  model.primaryAction();
  drainEvents();
  EXPECT_EQ(model.installPath(), "~/Games/Quellhaven");
  EXPECT_EQ(model.paths().installDir, home / "Games/Quellhaven");
  EXPECT_EQ(slurp(home / "data/Quellhaven/install_path.txt"), (home / "Games/Quellhaven").string());
  model.setPhase(Phase::needInstall);
  model.setInstallPath("~");
  model.primaryAction();
  drainEvents();
  EXPECT_EQ(model.paths().installDir, home.path());
  EXPECT_EQ(syncs, (std::vector<bool>{false, false}));
}

// While working, the commands do nothing: a second update would write the
// same files. Once ready, Verify & Repair forces and Clear Update Cache
// forgets the markers, then checks, markers or not.
TEST_F(ModelUpdateTest, CommandsWaitForTheWorkThenVerifyOrForgetTheMarkers) {
  home.write("Quellhaven/.qhversion", "1");
  home.write("Quellhaven/.qhmanifest", "m");
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
  model.setPhase(Phase::ready);
  model.verifyRepair();
  model.setPhase(Phase::ready);
  model.clearUpdateCache();
  EXPECT_EQ(syncs, (std::vector<bool>{true, false}));
  EXPECT_FALSE(fs::exists(home / "Quellhaven/.qhversion"));
  EXPECT_FALSE(fs::exists(home / "Quellhaven/.qhmanifest"));
  model.setPhase(Phase::ready);
  model.clearUpdateCache();
  EXPECT_EQ(syncs.size(), 3u);
}

}  // namespace

}  // namespace qh
