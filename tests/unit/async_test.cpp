// Work handed to a worker and back: the result, the exception and the data on
// both sides arrive whole. Under ThreadSanitizer these also fail when a
// hand-over is no longer marked.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <future>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/async.h"
#include "core/handover.h"
#include "support/qt_wait.h"

namespace {

struct Table {
  std::vector<std::string> rows;
  std::map<std::string, int> index;
  std::thread::id builtOn;
};

Table build(const std::vector<std::string>& names) {
  Table t;
  for (const auto& n : names) {
    t.index[n] = static_cast<int>(t.rows.size());
    t.rows.push_back(n + "!");
  }
  t.builtOn = std::this_thread::get_id();
  return t;
}

QCoro::Task<Table> buildOnWorker(std::vector<std::string> names) {
  QCoro::Task<Table> work = onWorker([names = std::move(names)] { return build(names); });
  Table t = co_await work;
  // The awaiting coroutine is back on the thread it started on.
  EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
  co_return t;
}

TEST(OnWorkerTest, HandsTheWorkersResultToTheAwaitingThread) {
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) names.push_back("entry" + std::to_string(i));
  const Table t = runTask(buildOnWorker(names));
  ASSERT_EQ(t.rows.size(), 200u);
  EXPECT_EQ(t.rows[17], "entry17!");
  EXPECT_EQ(t.index.at("entry199"), 199);
  EXPECT_NE(t.builtOn, std::this_thread::get_id());
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

// A worker reports the way the engines do: a call posted to the main thread
// carrying what the worker built.
TEST(PostTest, CallsPostedFromAWorkerRunOnTheMainThreadWithTheirCaptures) {
  std::vector<std::string> arrived;
  QThread* ranOn = nullptr;
  QObject receiver;
  std::thread worker([&receiver, &arrived, &ranOn] {
    for (int i = 0; i < 20; ++i) {
      std::string first = "a";
      first += std::to_string(i);
      Table t = build({first, "b"});
      Handover::post(&receiver, [t = std::move(t), &arrived, &ranOn] {
        arrived.push_back(t.rows.front());
        ranOn = QThread::currentThread();
      });
    }
  });
  ASSERT_TRUE(spinUntil([&] { return arrived.size() == 20; }));
  worker.join();
  EXPECT_EQ(arrived.front(), "a0!");
  EXPECT_EQ(arrived.back(), "a19!");
  EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
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
