// What every program the launcher starts gets from it: its arguments as
// given, no descriptor beyond the three standard ones, and a main thread that
// goes on while it runs. (Exit statuses and a program that cannot start:
// runtime_prefix_test; the environment: play_test, through the same spawn.)
#include "compat/shell.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTimer>

#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

TEST(Shell, ArgumentsArePassedInOrderWithoutAProgramName) {
  TempDir dir;
  const auto log = dir / "out.log";
  Shell::runBlocking("/bin/sh", {"-c", "printf '[%s]' \"$0\" \"$@\"", "zero", "a b", "", "c"},
                     std::nullopt, log);
  EXPECT_EQ(slurp(log), "[zero][a b][][c]");
}

TEST(Shell, ChildInheritsNoOtherDescriptors) {
  TempDir dir;
  // Opened without close-on-exec: only the runner's own care keeps it from the child.
  const int leaky = open((dir / "secret").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(leaky, 3);
  const auto log = dir / "fds.log";
  Shell::runBlocking("/bin/sh", {"-c", "ls /proc/$$/fd"}, std::nullopt, log);
  close(leaky);
  const std::string fds = slurp(log);
  // The shell itself may hold a descriptor for its script input; what matters
  // is that ours is gone and 0-2 are there.
  std::string line = std::to_string(leaky);
  line.insert(line.begin(), '\n');
  line.push_back('\n');
  EXPECT_EQ(fds.find(line), std::string::npos) << fds;
  EXPECT_EQ(fds.rfind("0\n1\n2\n", 0), 0u) << fds;
}

TEST(Shell, AwaitingLeavesTheMainThreadRunning) {
  TempDir dir;
  const auto fifo = dir / "gate";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  QCoro::Task<int> task =
      Shell::run("/bin/sh", {"-c", "read code < \"$0\"; exit $code", fifo.string()}, std::nullopt,
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

}  // namespace

}  // namespace qh
