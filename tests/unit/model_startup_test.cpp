#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/log.h"
#include "model/launcher_model.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// A model over a fresh support folder, with fake operations recording the order.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("HOME", home.path().c_str(), 1);
  }

  ModelServices recording() {
    ModelServices s;
    s.selfUpdate = [this](Paths, std::function<void(std::string)> status) -> QCoro::Task<> {
      calls.push_back("selfUpdate");
      status("Checking for launcher update...");
      co_return;
    };
    s.getString = [this](std::string url) -> QCoro::Task<std::string> {
      calls.push_back("getString " + url);
      co_return std::string("1.2.3\n");
    };
    s.resolveRuntimeSpec = [this](LauncherModel&) -> QCoro::Task<> {
      calls.push_back("resolveSpec");
      co_return;
    };
    s.sync = [this](LauncherModel& m, bool force) -> QCoro::Task<> {
      calls.push_back(force ? "sync force" : "sync");
      QCoro::Task<> finish = m.finishReady("1.0", "Up to date", true);
      co_await finish;
    };
    return s;
  }

  TempDir home;
  std::vector<std::string> calls;
};

// Started twice, the sequence runs once; the self-update's notice is posted,
// so it may land after the needInstall text, but it must land.
TEST_F(StartupTest, WithoutClientTheSequenceRunsOnceAndEndsInNeedInstall) {
  LauncherModel model(recording());
  std::vector<QString> statuses;
  QObject::connect(&model, &LauncherModel::statusChanged,
                   [&] { statuses.push_back(model.status()); });
  model.start();
  model.start();
  ASSERT_TRUE(spinUntil([&] { return model.phase() == Phase::needInstall; }));
  drainEvents();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], "selfUpdate");
  // The version label is fetched cache-busted: "?t=" and the milliseconds.
  const std::string fetched = "getString " + model.paths().base + "/game_version.txt?t=";
  EXPECT_EQ(calls[1].substr(0, fetched.size()), fetched);
  EXPECT_THAT(calls[1].substr(fetched.size()), ::testing::MatchesRegex("[0-9]{13}"));
  EXPECT_EQ(calls[2], "resolveSpec");
  EXPECT_EQ(model.detail(), "The full client is about 30 GB.");
  EXPECT_EQ(model.actionTitle(), "INSTALL");
  EXPECT_EQ(model.gameVersion(), "v1.2.3");
  for (const char* text : {"Checking for launcher update...",
                           "Choose where to install Quellhaven, then press Install."}) {
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), text), statuses.end()) << text;
  }
}

TEST_F(StartupTest, WithWowExeTheUpdateEngineRunsAndFinishesReady) {
  home.write("Quellhaven/Wow.exe", "MZ");
  LauncherModel model(recording());
  runTask(model.startUp());
  EXPECT_EQ(calls.back(), "sync");
  EXPECT_EQ(model.phase(), Phase::ready);
  EXPECT_EQ(model.status(), "Up to date - ready to play!");
  EXPECT_EQ(model.detail(),
            QString::fromStdString("Version 1.0    " + (home / "Quellhaven").string()));
  EXPECT_EQ(model.progress(), 1.0);
  EXPECT_EQ(model.actionTitle(), "PLAY");
}

}  // namespace

}  // namespace qh
