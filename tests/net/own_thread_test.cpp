#include "net/own_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/qt_wait.h"

namespace {

QCoro::Task<std::vector<std::string>> lines(int n) {
  QCoro::Task<std::vector<std::string>> work = onOwnThread([n] {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back("line " + std::to_string(i));
    return out;
  });
  std::vector<std::string> got = co_await work;
  EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
  co_return got;
}

TEST(OnOwnThreadTest, HandsTheResultToTheAwaitingThread) {
  const std::vector<std::string> got = runTask(lines(300));
  ASSERT_EQ(got.size(), 300u);
  EXPECT_EQ(got.back(), "line 299");
}

QCoro::Task<> fail() {
  QCoro::Task<> work = onOwnThread([] { throw std::runtime_error("transfer broke"); });
  co_await work;
}

TEST(OnOwnThreadTest, RethrowsTheException) {
  try {
    runTask(fail());
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "transfer broke");
  }
}

QCoro::Task<> releaseFromOwnThread(std::promise<void>* release, bool* done) {
  QCoro::Task<> work = onOwnThread([release] { release->set_value(); });
  co_await work;
  *done = true;
}

// A long transfer must not wait for, nor hold, a thread of the shared pool.
TEST(OnOwnThreadTest, RunsWhileTheSharedPoolIsBusy) {
  QThreadPool* pool = QThreadPool::globalInstance();
  const int before = pool->maxThreadCount();
  pool->setMaxThreadCount(1);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  pool->start([released] { released.wait_for(std::chrono::seconds(30)); });

  bool done = false;
  QCoro::Task<> task = releaseFromOwnThread(&release, &done);
  const bool finished = spinUntil([&] { return done; }, 20000);
  pool->waitForDone();
  pool->setMaxThreadCount(before);
  EXPECT_TRUE(finished);
}

}  // namespace
