#include <gtest/gtest.h>

#include <QThread>
#include <thread>

#include "model/launcher_model.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

TEST(ModelUi, UpdatesFromWorkersLandOnTheMainThreadInOrder) {
  TempDir home;
  setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  LauncherModel model(ModelServices{});
  std::vector<QString> seen;
  std::vector<bool> onMain;
  QObject::connect(&model, &LauncherModel::statusChanged, [&] {
    seen.push_back(model.status());
    onMain.push_back(QThread::currentThread() == qApp->thread());
  });
  const StatusCallback report = model.reporter();
  std::thread worker([&report] {
    for (int i = 0; i < 100; ++i) report("step " + std::to_string(i), i / 100.0);
  });
  worker.join();
  EXPECT_TRUE(seen.empty()) << "reports must not apply synchronously";
  ASSERT_TRUE(spinUntil([&] { return seen.size() == 100; }));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], QString("step %1").arg(i));
  EXPECT_TRUE(std::all_of(onMain.begin(), onMain.end(), [](bool b) { return b; }));
  EXPECT_DOUBLE_EQ(model.progressValue(), 0.99);
  report("indeterminate", std::nullopt);
  drainEvents();
  EXPECT_FALSE(model.hasProgress());
}

}  // namespace

}  // namespace qh
