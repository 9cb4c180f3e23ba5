#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/platform_internal.h"
#include "platform/process.h"
#include "platform/system_error.h"

extern char** environ;

namespace qh::Process {
namespace {

// posix_spawn's attributes and file actions, released on every path.
struct Setup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  Setup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
  }
  ~Setup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  Setup(const Setup&) = delete;
  Setup& operator=(const Setup&) = delete;
};

// Every action is attempted; the first error is the one reported.
int describe(Setup& s, const Request& request) {
  int err = 0;
  auto keep = [&err](int rc) {
    if (err == 0) err = rc;
  };
  auto place = [&](const Stream& stream, int target) {
    switch (stream.kind) {
      case Stream::Kind::inherited:
        // dup2 onto itself clears close-on-exec; a closed stream stays closed.
        if (::fcntl(target, F_GETFD) >= 0) {
          keep(posix_spawn_file_actions_adddup2(&s.actions, target, target));
        }
        break;
      case Stream::Kind::nullDevice:
        keep(posix_spawn_file_actions_addopen(&s.actions, target, "/dev/null",
                                              target == 0 ? O_RDONLY : O_WRONLY, 0));
        break;
      case Stream::Kind::descriptor:
        keep(posix_spawn_file_actions_adddup2(&s.actions, stream.fd, target));
        break;
      case Stream::Kind::sameAsOutput:
        keep(target == 2 ? posix_spawn_file_actions_adddup2(&s.actions, 1, 2) : EINVAL);
        break;
    }
  };
  place(request.input, 0);
  place(request.output, 1);
  place(request.error, 2);
  if (request.workingDir) {
    keep(posix_spawn_file_actions_addchdir_np(&s.actions, request.workingDir->c_str()));
  }
  if (request.newSession) keep(posix_spawnattr_setflags(&s.attr, POSIX_SPAWN_SETSID));
  keep(Platform::detail::limitSpawnInheritance(&s.attr, &s.actions));
  return err;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  out.reserve(strings.size() + 1);
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

Started spawn(const Request& request) {
  Setup setup;
  if (const int err = describe(setup, request); err != 0) {
    return {-1, std::error_code(err, std::generic_category())};
  }
  std::vector<std::string> argStrings{request.program.string()};
  argStrings.insert(argStrings.end(), request.args.begin(), request.args.end());
  const std::vector<char*> argv = pointers(argStrings);
  std::vector<std::string> envStrings;
  std::vector<char*> envp;
  if (request.environment) {
    envStrings.reserve(request.environment->size());
    for (const auto& [key, value] : *request.environment) envStrings.push_back(key + "=" + value);
    envp = pointers(envStrings);
  }
  pid_t pid = -1;
  const int err = posix_spawn(&pid, request.program.c_str(), &setup.actions, &setup.attr,
                              argv.data(), request.environment ? envp.data() : environ);
  if (err != 0) return {-1, std::error_code(err, std::generic_category())};
  return {pid, {}};
}

namespace {

int exitStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

int wait(pid_t pid) {
  int status = 0;
  pid_t waited;
  do {
    waited = ::waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited < 0) return -1;
  return exitStatus(status);
}

std::optional<int> waitUnlessStopped(pid_t pid, StopToken stop) {
  // A blocking waitpid cannot be interrupted portably, so the child is
  // asked often at first (most end at once) and every 50 ms after that.
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    int status = 0;
    const pid_t waited = ::waitpid(pid, &status, WNOHANG);
    if (waited == pid) return exitStatus(status);
    if (waited < 0 && errno != EINTR) return -1;
    if (stop.waitFor(pause)) return std::nullopt;
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

int run(const Request& request) {
  const Started child = spawn(request);
  return child.error ? -1 : wait(child.pid);
}

int runReading(Request request, const std::function<bool(std::string_view)>& sink) {
  Pipe pipe = openPipe();
  if (pipe.error) return -1;
  request.output = Stream::to(pipe.writeEnd.get());
  const Started child = spawn(request);
  // Only the child may hold the write end now, so its end is the pipe's end.
  pipe.writeEnd.reset();
  if (child.error) return -1;
  bool stopped = false;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(pipe.readEnd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (!sink(std::string_view(buffer, static_cast<size_t>(n)))) {
      stopped = true;
      ::kill(child.pid, SIGKILL);
      break;
    }
  }
  pipe.readEnd.reset();
  const int status = wait(child.pid);
  return stopped ? -1 : status;
}

Pipe openPipe() {
  int fds[2] = {-1, -1};
#ifdef __linux__
  const int rc = ::pipe2(fds, O_CLOEXEC);
#else
  // No pipe2 on macOS; the children we start there close every descriptor
  // not given to them anyway (POSIX_SPAWN_CLOEXEC_DEFAULT).
  int rc = ::pipe(fds);
  if (rc == 0) rc = ::fcntl(fds[0], F_SETFD, FD_CLOEXEC) | ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
#endif
  Pipe pipe{UniqueFd(fds[0]), UniqueFd(fds[1]), {}};
  if (rc != 0) {
    pipe.error = lastSystemError();
    pipe.readEnd.reset();
    pipe.writeEnd.reset();
  }
  return pipe;
}

}  // namespace qh::Process
