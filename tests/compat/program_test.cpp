// Running a program to completion: its arguments as given, its output
// appended to a log, a start that fails told in the launcher's log, a main
// thread that goes on while it runs, and quitting, which waits for no child.
// (How exit statuses read and which descriptors a child gets:
// tests/platform/process_test.)
#include "compat/program.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QTimer>
#include <atomic>

#include "compat/game_process.h"
#include "core/log.h"
#include "core/own_threads.h"
#include "platform/process.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

TEST(Program, ArgumentsArePassedInOrderWithoutAProgramName) {
  TempDir dir;
  const auto log = dir / "out.log";
  Program::runBlocking("/bin/sh", {"-c", "printf '[%s]' \"$0\" \"$@\"", "zero", "a b", "", "c"},
                       std::nullopt, log);
  EXPECT_EQ(slurp(log), "[zero][a b][][c]");
}

// Both streams of every run go to the end of the log; the first run creates it.
TEST(Program, OutputIsAppendedToTheLog) {
  TempDir dir;
  const auto log = dir / "wine.log";
  EXPECT_EQ(Program::runBlocking("/bin/sh", {"-c", "echo one; echo two >&2"}, std::nullopt, log),
            0);
  EXPECT_EQ(Program::runBlocking("/bin/sh", {"-c", "echo three; exit 4"}, std::nullopt, log), 4);
  EXPECT_EQ(slurp(log), "one\ntwo\nthree\n");
}

TEST(Program, AProgramThatCannotStartIsMinusOneAndLogged) {
  TempDir dir;
  Log::setFile(dir / "launcher.log");
  const auto missing = dir / "missing";
  EXPECT_EQ(Program::runBlocking(missing, {}, std::nullopt, std::nullopt), -1);
  Log::setFile(std::nullopt);
  EXPECT_TRUE(slurp(dir / "launcher.log")
                  .ends_with("spawn failed " + missing.string() + ": No such file or directory\n"))
      << slurp(dir / "launcher.log");
}

TEST(Program, AwaitingLeavesTheMainThreadRunning) {
  TempDir dir;
  const auto fifo = dir / "gate";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  QCoro::Task<int> task =
      Program::run("/bin/sh", {"-c", "read code < \"$0\"; exit $code", fifo.string()}, std::nullopt,
                   std::nullopt);
  // The child is stuck on the gate; the event loop must still serve us.
  bool served = false;
  QTimer::singleShot(0, [&] { served = true; });
  EXPECT_TRUE(spinUntil([&] { return served; }));
  {
    std::ofstream gate(fifo);
    gate << "7\n";
  }
  EXPECT_EQ(runTask(std::move(task)), 7);
}

// Quitting stops every wait for a child: a program's child is killed (its work
// is done again at the next start), the game is left running unwatched.
TEST(Program, QuittingKillsTheChildAndEndsTheWait) {
  TempDir dir;
  StopSource quitting;
  quitting.request_stop();
  // Without the stop, the child would write its mark and exit 0 after its sleep.
  EXPECT_EQ(Program::runBlocking("/bin/sh",
                                 {"-c", "sleep 5; echo late > \"$0\"", (dir / "mark").string()},
                                 std::nullopt, std::nullopt, quitting.get_token()),
            -1);
  EXPECT_FALSE(std::filesystem::exists(dir / "mark"));
}

TEST(GameProcessWatch, QuittingStopsTheWatchLeavesTheGameAndCallsNoHandler) {
  const auto game =
      GameProcess::start({.executable = "/bin/sleep", .args = {"30"}, .workingDir = "/"});
  std::atomic<bool> handled{false};
  game->setExitHandler([&](int) { handled = true; });
  // Returns only once the watcher has ended: a watcher blocked on the game
  // would keep it for 30 s.
  OwnThreads::stopAll();
  EXPECT_EQ(::kill(game->pid(), 0), 0) << "the game was ended";
  ::kill(game->pid(), SIGKILL);
  EXPECT_EQ(Process::wait(game->pid()), 137);
  EXPECT_FALSE(handled);
  EXPECT_TRUE(game->running());
}

}  // namespace

}  // namespace qh
