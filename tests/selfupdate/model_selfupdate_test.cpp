// Start-up step 1 in the model: a launcher that swapped itself stops there.
#include <gtest/gtest.h>

#include "model/launcher_model.h"
#include "platform/platform.h"
#include "support/qt_wait.h"

namespace {

std::vector<std::string> startUpCalls(bool swapped) {
  std::vector<std::string> calls;
  int quits = 0;
  platform::setTerminateForTesting([&] { ++quits; });
  ModelServices s;
  s.selfUpdate = [&calls, swapped](Paths, std::function<void(std::string)>) -> QCoro::Task<> {
    calls.push_back("selfUpdate");
    if (swapped) platform::terminate();
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
  EXPECT_EQ(quits, swapped ? 1 : 0);
  platform::setTerminateForTesting({});
  return calls;
}

TEST(ModelSelfUpdate, StartUpEndsWhenTheLauncherAskedToQuit) {
  EXPECT_EQ(startUpCalls(true), std::vector<std::string>{"selfUpdate"});
  EXPECT_EQ(startUpCalls(false),
            (std::vector<std::string>{"selfUpdate", "getString", "resolveSpec"}));
}

}  // namespace
