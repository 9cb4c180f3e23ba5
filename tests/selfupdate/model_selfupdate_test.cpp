// Start-up step 1 in the model: a launcher that swapped itself stops there,
// so the old copy starts nothing while the new one comes up. (The steps of an
// ordinary start: model_startup_test.)
#include <gtest/gtest.h>

#include "model/launcher_model.h"
#include "platform/platform.h"
#include "support/qt_wait.h"

namespace qh {

namespace {

TEST(ModelSelfUpdate, StartUpEndsWhenTheLauncherAskedToQuit) {
  std::vector<std::string> calls;
  int quits = 0;
  Platform::setTerminateForTesting([&] { ++quits; });
  ModelServices s;
  s.selfUpdate = [&calls](Paths, std::function<void(std::string)>) -> QCoro::Task<> {
    calls.push_back("selfUpdate");
    Platform::terminate();
    co_return;
  };
  s.getString = [&calls](std::string) -> QCoro::Task<std::string> {
    calls.push_back("getString");
    co_return std::string("1.0");
  };
  s.resolveRuntimeSpec = [&calls](LauncherModel&) -> QCoro::Task<> {
    calls.push_back("resolveSpec");
    co_return;
  };
  {
    LauncherModel model(s);
    runTask(model.startUp());
    drainEvents();
  }
  Platform::setTerminateForTesting({});
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(calls, std::vector<std::string>{"selfUpdate"});
}

}  // namespace

}  // namespace qh
