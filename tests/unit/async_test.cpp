// Work handed to a worker and back: the result, the exception and the data on
// both sides arrive whole. Under ThreadSanitizer these also fail when a
// hand-over is no longer marked.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/async.h"
#include "core/handover.h"
#include "support/qt_wait.h"

namespace {

// What the worker built comes back whole to the thread that awaits it.
QCoro::Task<std::vector<std::string>> buildOnWorker(std::thread::id* builtOn) {
  QCoro::Task<std::vector<std::string>> work = onWorker([builtOn] {
    *builtOn = std::this_thread::get_id();
    std::vector<std::string> rows;
    for (int i = 0; i < 200; ++i) rows.push_back("entry" + std::to_string(i));
    return rows;
  });
  std::vector<std::string> rows = co_await work;
  EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
  co_return rows;
}

TEST(OnWorkerTest, HandsTheWorkersResultToTheAwaitingThread) {
  std::thread::id builtOn;
  const std::vector<std::string> rows = runTask(buildOnWorker(&builtOn));
  ASSERT_EQ(rows.size(), 200u);
  EXPECT_EQ(rows[199], "entry199");
  EXPECT_NE(builtOn, std::this_thread::get_id());
}

QCoro::Task<> failOnWorker() {
  QCoro::Task<> work = onWorker([] { throw std::invalid_argument("broken on the worker"); });
  co_await work;
}

TEST(OnWorkerTest, RethrowsTheWorkersExceptionOnTheAwaitingThread) {
  try {
    runTask(failOnWorker());
    FAIL() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "broken on the worker");
  }
}

// Many tasks at once: each gets its own result, whatever order they finish in.
QCoro::Task<std::vector<int>> squares(int n) {
  std::vector<QCoro::Task<int>> tasks;
  for (int i = 0; i < n; ++i) tasks.push_back(onWorker([i] { return i * i; }));
  std::vector<int> out;
  for (auto& task : tasks) {
    const int v = co_await task;
    out.push_back(v);
  }
  co_return out;
}

// QProcess starts its child in this process's memory until the child execs.
// Coming out of that, this thread still starts new threads and its hand-overs
// still hold; under ThreadSanitizer neither does unless the build's own
// clone() takes the call (platform/tsan_clone.cpp).
TEST(OnWorkerTest, WorkStillHandsOverAfterAChildProcessStarted) {
  std::promise<void> stop;
  std::thread other([stopped = stop.get_future()] { stopped.wait(); });
  QProcess child;
  child.start("/bin/true", {});
  const bool finished = child.waitForFinished(10000);
  stop.set_value();
  other.join();
  ASSERT_TRUE(finished);
  EXPECT_EQ(child.exitCode(), 0);

  std::thread fresh([] {});
  fresh.join();
  const std::vector<int> out = runTask(squares(64));
  ASSERT_EQ(out.size(), 64u);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], i * i);
}

// A call whose receiver is gone never runs, and what it captured is released.
TEST(PostTest, ACallForAReceiverGoneIsDroppedWithItsCaptures) {
  auto held = std::make_shared<int>(7);
  std::weak_ptr<int> watch = held;
  bool ran = false;
  auto receiver = std::make_unique<QObject>();
  std::thread worker([&receiver, held = std::move(held), &ran]() mutable {
    Handover::post(receiver.get(), [held = std::move(held), &ran] { ran = *held == 7; });
  });
  worker.join();
  receiver.reset();
  drainEvents();
  EXPECT_FALSE(ran);
  EXPECT_TRUE(watch.expired());
}

}  // namespace
