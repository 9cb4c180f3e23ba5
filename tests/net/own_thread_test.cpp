#include "net/own_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <chrono>
#include <future>
#include <string>

#include "support/qt_wait.h"

namespace {

QCoro::Task<> releaseFromOwnThread(std::promise<void>* release, bool* done) {
  QCoro::Task<std::string> work = onOwnThread([release] {
    release->set_value();
    return std::string("released");
  });
  const std::string result = co_await work;
  // The result comes back to the thread that awaits it.
  EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
  *done = result == "released";
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
