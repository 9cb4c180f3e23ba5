#include <gtest/gtest.h>

#include <QThread>
#include <thread>

#include "support/model_fixture.h"

namespace qh {

namespace {

using ModelReports = ModelFixture;

TEST_F(ModelReports, ReportsFromWorkersLandOnTheMainThreadInOrder) {
  std::vector<bool> onMain;
  QObject::connect(model.get(), &LauncherModel::statusChanged,
                   [&] { onMain.push_back(QThread::currentThread() == qApp->thread()); });
  const StatusCallback report = model->reporter();
  std::thread worker([&report] {
    for (int i = 0; i < 100; ++i) report("step " + std::to_string(i), i / 100.0);
  });
  worker.join();
  EXPECT_TRUE(statuses.empty()) << "reports must not apply synchronously";
  ASSERT_TRUE(spinUntil([&] { return statuses.size() == 100; }));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(statuses[i], "step " + std::to_string(i));
  EXPECT_TRUE(std::all_of(onMain.begin(), onMain.end(), [](bool b) { return b; }));
  EXPECT_DOUBLE_EQ(model->progressValue(), 0.99);
  report("indeterminate", std::nullopt);
  drainEvents();
  EXPECT_FALSE(model->hasProgress());
}

TEST_F(ModelReports, AReportForAModelGoneIsDropped) {
  const StatusCallback report = model->reporter();
  model.reset();
  report("late", 0.5);
  drainEvents();
  EXPECT_TRUE(statuses.empty());
}

}  // namespace

}  // namespace qh
