#include "compat/shell.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTimer>

#include "core/log.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override { Log::setUrl(dir / "launcher.log"); }
  void TearDown() override { Log::setUrl(std::nullopt); }
  TempDir dir;
};

struct StatusCase {
  const char* name;
  const char* script;
  int expected;
};

class ShellStatusTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ShellStatusTest, ReportsTheChildsTermination) {
  EXPECT_EQ(Shell::runBlocking("/bin/sh", {"-c", GetParam().script}, std::nullopt, std::nullopt),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Statuses, ShellStatusTest,
                         ::testing::Values(StatusCase{"success", "exit 0", 0},
                                           StatusCase{"three", "exit 3", 3},
                                           StatusCase{"high", "exit 255", 255},
                                           StatusCase{"killedBySignal", "kill -TERM $$", 15}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, AProgramThatCannotStartGivesMinusOneAndTheSpawnLine) {
  const auto missing = dir / "no-such-program";
  const auto plain = dir.write("plain.txt", "#!/bin/sh\nexit 0\n");
  EXPECT_EQ(Shell::runBlocking(missing, {}, std::nullopt, std::nullopt), -1);
  EXPECT_EQ(Shell::runBlocking(plain, {}, std::nullopt, std::nullopt), -1);
  const std::string log = slurp(dir / "launcher.log");
  EXPECT_NE(log.find("  v3  spawn failed " + missing.string() + ": No such file or directory\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("spawn failed " + plain.string() + ": Permission denied"), std::string::npos);
}

TEST_F(ShellTest, ArgumentsArePassedInOrderWithoutAProgramName) {
  const auto log = dir / "out.log";
  Shell::runBlocking("/bin/sh", {"-c", "printf '[%s]' \"$0\" \"$@\"", "zero", "a b", "", "c"},
                     std::nullopt, log);
  EXPECT_EQ(slurp(log), "[zero][a b][][c]");
}

// Appending both streams of each run to the log: runtime_prefix_test's wine.log.

TEST_F(ShellTest, AGivenEnvironmentIsTheWholeOneAndNoneIsInherited) {
  ASSERT_NE(std::getenv("PATH"), nullptr);
  Shell::runBlocking("/usr/bin/env", {}, Shell::Environment{{"A", "1"}, {"B", "x=y"}},
                     dir / "env.log");
  EXPECT_EQ(slurp(dir / "env.log"), "A=1\nB=x=y\n");
  setenv("QH_SHELL_TEST", "inherited", 1);
  Shell::runBlocking("/bin/sh", {"-c", "printf %s \"$QH_SHELL_TEST\""}, std::nullopt,
                     dir / "inherited.log");
  unsetenv("QH_SHELL_TEST");
  EXPECT_EQ(slurp(dir / "inherited.log"), "inherited");
}

// Points the test's own standard output and error at a file while `body` runs.
std::string captureOwnOutput(const std::filesystem::path& file, const std::function<void()>& body) {
  fflush(stdout);
  fflush(stderr);
  const int savedOut = dup(1), savedErr = dup(2);
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(fd, 1);
  dup2(fd, 2);
  close(fd);
  body();
  dup2(savedOut, 1);
  dup2(savedErr, 2);
  close(savedOut);
  close(savedErr);
  return slurp(file);
}

TEST_F(ShellTest, WithoutALogNothingReachesTheLaunchersOutputButAnUnopenableLogDoes) {
  EXPECT_EQ(captureOwnOutput(dir / "own.txt",
                             [] {
                               Shell::runBlocking("/bin/sh", {"-c", "echo out; echo err >&2"},
                                                  std::nullopt, std::nullopt);
                             }),
            "");
  const auto log = dir / "missing-folder" / "wine.log";
  const std::string seen = captureOwnOutput(dir / "own.txt", [&] {
    EXPECT_EQ(Shell::runBlocking("/bin/sh", {"-c", "echo visible; exit 4"}, std::nullopt, log), 4);
  });
  EXPECT_EQ(seen, "visible\n");
  EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(ShellTest, ChildInheritsNoOtherDescriptors) {
  // Opened without close-on-exec: only the runner's own care keeps it from the child.
  const int leaky = open((dir / "secret").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(leaky, 3);
  const auto log = dir / "fds.log";
  const std::string probe = "ls /proc/$$/fd";
  Shell::runBlocking("/bin/sh", {"-c", probe}, std::nullopt, log);
  close(leaky);
  std::string fds = slurp(log);
  // The shell itself may hold a descriptor for its script input; what matters
  // is that ours is gone and 0-2 are there.
  std::string line = std::to_string(leaky);
  line.insert(line.begin(), '\n');
  line.push_back('\n');
  EXPECT_EQ(fds.find(line), std::string::npos) << fds;
  EXPECT_EQ(fds.rfind("0\n1\n2\n", 0), 0u) << fds;
}

TEST_F(ShellTest, AwaitingLeavesTheMainThreadRunning) {
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
