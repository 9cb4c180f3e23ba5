// Starting a child and reading how it ended: one exit-status encoding, the
// three standard streams and nothing else, and a reader that can stop it.
#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace qh {

namespace {

Process::Request shell(const std::string& script) {
  return {"/bin/sh", {"-c", script}};
}

struct Ending {
  const char* name;
  Process::Request request;
  int status;
};

void PrintTo(const Ending& ending, std::ostream* out) {
  *out << ending.name;
}

class ExitStatus : public ::testing::TestWithParam<Ending> {};

// A signal's number and an exit code of the same number must not read alike.
TEST_P(ExitStatus, IsTheCodeOr128PlusTheSignal) {
  EXPECT_EQ(Process::run(GetParam().request), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Endings, ExitStatus,
                         ::testing::Values(Ending{"exit0", shell("exit 0"), 0},
                                           Ending{"exit9", shell("exit 9"), 9},
                                           Ending{"exit255", shell("exit 255"), 255},
                                           Ending{"sigkill", shell("kill -KILL $$"), 137},
                                           Ending{"sigterm", shell("kill -TERM $$"), 143},
                                           Ending{"missingProgram", {"/nonexistent/program"}, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// What the "could not start" texts show comes from here.
TEST(Spawn, TellsWhyAChildCannotStart) {
  TempDir dir;
  const auto plain = dir.write("plain", "#!/bin/sh\n");
  struct Case {
    Process::Request request;
    std::errc reason;
  };
  Process::Request elsewhere = shell("exit 0");
  elsewhere.workingDir = dir / "missing";
  Process::Request closedOutput = shell("exit 0");
  closedOutput.output = Process::Stream::to(-1);
  Process::Request outputLikeItself = shell("exit 0");
  outputLikeItself.output = Process::Stream::sameAsOutput();
  for (const Case& c : {Case{{dir / "missing"}, std::errc::no_such_file_or_directory},
                        Case{{plain}, std::errc::permission_denied},
                        Case{elsewhere, std::errc::no_such_file_or_directory},
                        Case{closedOutput, std::errc::bad_file_descriptor},
                        Case{outputLikeItself, std::errc::invalid_argument}}) {
    const Process::Started child = Process::spawn(c.request);
    EXPECT_EQ(child.error, c.reason) << c.request.program;
    EXPECT_EQ(child.pid, -1);
  }
}

// Only 0, 1 and 2 reach the child, each where the request says.
TEST(Spawn, ChildGetsTheStreamsAskedForAndNoOtherDescriptor) {
#ifndef __linux__
  GTEST_SKIP() << "lists the child's descriptors in /proc, which only Linux has";
#endif
  TempDir dir;
  // Opened without close-on-exec: only the spawn's own care keeps it from the child.
  const UniqueFd leaky(::open((dir / "secret").c_str(), O_WRONLY | O_CREAT, 0644));
  ASSERT_GE(leaky.get(), 3);
  const UniqueFd out(::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  Process::Request request =
      shell("ls /proc/$$/fd; readlink /proc/$$/fd/0 /proc/$$/fd/2; echo err >&2");
  request.input = Process::Stream::nullDevice();
  request.output = Process::Stream::to(out.get());
  request.error = Process::Stream::nullDevice();
  ASSERT_EQ(Process::run(request), 0);
  // The shell itself may hold a descriptor for its script; ours must be gone.
  const std::string listed = slurp(dir / "out");
  EXPECT_EQ(listed.rfind("0\n1\n2\n", 0), 0u) << listed;
  std::string line = std::to_string(leaky.get());
  line.insert(line.begin(), '\n');
  line.push_back('\n');
  EXPECT_EQ(listed.find(line), std::string::npos) << listed;
  EXPECT_TRUE(listed.ends_with("\n/dev/null\n/dev/null\n")) << listed;
}

TEST(Spawn, WholeEnvironmentWorkingFolderAndOwnSession) {
#ifndef __linux__
  GTEST_SKIP() << "reads the child's session from /proc, which only Linux has";
#endif
  TempDir dir;
  const UniqueFd env(::open((dir / "env").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  Process::Request printEnv{"/usr/bin/env"};
  printEnv.environment = Process::Environment{{"ONLY", "this"}};
  printEnv.output = Process::Stream::to(env.get());
  EXPECT_EQ(Process::run(printEnv), 0);
  EXPECT_EQ(slurp(dir / "env"), "ONLY=this\n");

  const UniqueFd out(::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  Process::Request request = shell("pwd; cut -d' ' -f6 /proc/$$/stat");
  request.workingDir = dir.path();
  request.output = Process::Stream::to(out.get());
  request.newSession = true;
  const Process::Started child = Process::spawn(request);
  ASSERT_FALSE(child.error);
  EXPECT_EQ(Process::wait(child.pid), 0);
  // A session leader's session is its own pid.
  EXPECT_EQ(slurp(dir / "out"), dir.path().string() + "\n" + std::to_string(child.pid) + "\n");
  EXPECT_EQ(Process::wait(child.pid), -1);  // reaped once
}

TEST(RunReading, HandsOverTheOutputAndAFalseReturnKillsTheChild) {
  std::string read;
  const auto keep = [&](std::string_view chunk) {
    read += chunk;
    return true;
  };
  Process::Request noisy = shell("printf 'a b'; echo c >&2; exit 3");
  noisy.error = Process::Stream::nullDevice();
  EXPECT_EQ(Process::runReading(noisy, keep), 3);
  EXPECT_EQ(read, "a b");
  read.clear();
  noisy.error = Process::Stream::sameAsOutput();
  EXPECT_EQ(Process::runReading(noisy, keep), 3);
  EXPECT_EQ(read, "a bc\n");

  // An endless writer: only the kill lets this return.
  size_t total = 0;
  EXPECT_EQ(Process::runReading({"/usr/bin/yes"},
                                [&](std::string_view chunk) {
                                  total += chunk.size();
                                  return total < (1 << 20);
                                }),
            -1);
  EXPECT_GE(total, size_t{1} << 20);
  EXPECT_EQ(Process::runReading({"/nonexistent/program"}, keep), -1);
}

}  // namespace

}  // namespace qh
