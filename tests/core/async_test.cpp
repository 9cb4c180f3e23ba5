// Work handed to a worker and back: the result, the exception and the data on
// both sides arrive whole. Under ThreadSanitizer these also fail when a
// hand-over is no longer marked.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QProcess>
#include <QThread>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/async.h"
#include "core/log.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

QCoro::Task<> failOnWorker() {
  co_await onWorker([] { throw std::invalid_argument("broken on the worker"); });
}

TEST(OnWorkerTest, RethrowsTheWorkersExceptionOnTheAwaitingThread) {
  try {
    runTask(failOnWorker());
    FAIL() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "broken on the worker");
  }
}

// Temporaries built in the await itself (a string, a capturing lambda, a
// sum) live until it resumes and are destroyed once: under AddressSanitizer a
// compiler that destroys them twice fails here.
QCoro::Task<std::string> joinOnWorker(std::string text, std::function<void()> after) {
  std::string joined = co_await onWorker([text] { return text + "|" + text; });
  after();
  co_return joined;
}

QCoro::Task<std::string> awaitTemporaries() {
  const std::string held(64, 'h');
  int calls = 0;
  const std::string first = co_await joinOnWorker(
      std::string(40, 'x'), [held, &calls] { calls += held.size() == 64 ? 1 : 100; });
  const std::string a(40, 'a'), b(40, 'b');
  const std::string second = co_await joinOnWorker(a + b, [held] {});
  co_return std::to_string(calls) + " " + first + " " + second;
}

TEST(OnWorkerTest, AwaitedTemporariesAreDestroyedOnce) {
  const std::string x(40, 'x'), ab = std::string(40, 'a') + std::string(40, 'b');
  EXPECT_EQ(runTask(awaitTemporaries()), "1 " + x + "|" + x + " " + ab + "|" + ab);
}

// Many tasks at once, each run off the awaiting thread: each result comes back
// whole to the thread that awaits it, whatever order they finish in.
QCoro::Task<std::vector<std::string>> squares(int n) {
  const std::thread::id awaiting = std::this_thread::get_id();
  std::vector<QCoro::Task<std::string>> tasks;
  for (int i = 0; i < n; ++i) {
    tasks.push_back(onWorker([i, awaiting] {
      return std::this_thread::get_id() == awaiting ? std::string("ran on the awaiting thread")
                                                    : std::to_string(i * i);
    }));
  }
  std::vector<std::string> out;
  for (auto& task : tasks) {
    std::string v = co_await task;
    EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
    out.push_back(std::move(v));
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
  const std::vector<std::string> out = runTask(squares(64));
  ASSERT_EQ(out.size(), 64u);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], std::to_string(i * i));
}

// A report for an object gone by the time it lands never runs, and what it
// captured is released.
TEST(PostIfAliveTest, AReportForATargetGoneIsDroppedWithItsCaptures) {
  auto held = std::make_shared<int>(7);
  std::weak_ptr<int> watch = held;
  bool ran = false;
  auto target = std::make_unique<QObject>();
  QPointer<QObject> weak(target.get());
  std::thread worker([&weak, held = std::move(held), &ran]() mutable {
    postIfAlive(weak, [held = std::move(held), &ran](QObject&) { ran = *held == 7; });
  });
  worker.join();
  target.reset();
  drainEvents();
  EXPECT_FALSE(ran);
  EXPECT_TRUE(watch.expired());
}

QCoro::Task<> failAfterAWait() {
  co_await onWorker([] {});
  throw std::runtime_error("disk full");
}

QCoro::Task<> failAtOnce() {
  throw std::logic_error("no folder");
  co_return;
}

// Whether the task fails before its first suspension or after it, what
// escapes reaches the log with the task's name.
TEST(StartDetachedTest, WhatEscapesATaskNobodyAwaitsIsLogged) {
  TempDir dir;
  Log::setFile(dir / "launcher.log");
  startDetached(failAtOnce(), "install");
  startDetached(failAfterAWait(), "play");
  ASSERT_TRUE(
      spinUntil([&] { return slurp(dir / "launcher.log").find("play") != std::string::npos; }));
  Log::setFile(std::nullopt);
  const std::string log = slurp(dir / "launcher.log");
  EXPECT_NE(log.find("  install failed: no folder\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  play failed: disk full\n"), std::string::npos) << log;
}

}  // namespace

}  // namespace qh
