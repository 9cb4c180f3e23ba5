// The bundle and self-update functions whose implementation serves both
// systems: test seams, tool runs, the size check before unpacking, terminate.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>

#include "platform/platform.h"
#include "platform/platform_internal.h"

extern char** environ;

namespace qh {

namespace Platform {
namespace {

std::mutex seamMutex;
std::function<void()> terminateOverride;
std::atomic<bool> terminating{false};

// posix_spawn's attributes and file actions, released on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_init(&actions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // Null device for the standard streams not redirected by `stdoutFd`, and no
  // other descriptor of ours in the child.
  void isolate(int stdoutFd, short extraFlags) {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    } else {
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_setflags(&attr, extraFlags);
    limitSpawnInheritance(&attr, &actions);
  }

  int spawn(const std::string& program, const std::vector<std::string>& args, pid_t* pid) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return posix_spawn(pid, program.c_str(), &actions, &attr, argv.data(), environ);
  }

  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
};

int waitStatus(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

namespace detail {

int runTool(const std::string& program, const std::vector<std::string>& args,
            const std::function<bool(std::string_view)>& sink) {
  // Both ends close on exec: the child gets the write end only through dup2,
  // and no other child started meanwhile holds the pipe open.
  int fds[2] = {-1, -1};
#ifdef __linux__
  if (sink && ::pipe2(fds, O_CLOEXEC) != 0) return -1;
#else
  if (sink && ::pipe(fds) != 0) return -1;
  if (sink) {
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  }
#endif
  SpawnSetup setup;
  setup.isolate(sink ? fds[1] : -1, 0);
  pid_t pid = 0;
  const int err = setup.spawn(program, args, &pid);
  if (sink) ::close(fds[1]);
  if (err != 0) {
    if (sink) ::close(fds[0]);
    return -1;
  }
  bool stopped = false;
  if (sink) {
    char buf[65536];
    for (;;) {
      const ssize_t n = ::read(fds[0], buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      if (!sink(std::string_view(buf, static_cast<size_t>(n)))) {
        stopped = true;
        ::kill(pid, SIGKILL);
        break;
      }
    }
    ::close(fds[0]);
  }
  const int status = waitStatus(pid);
  return stopped ? -1 : status;
}

std::error_code spawnDetached(const std::string& program, const std::vector<std::string>& args) {
  SpawnSetup setup;
  setup.isolate(-1, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  if (const int err = setup.spawn(program, args, &pid); err != 0) {
    return {err, std::generic_category()};
  }
  // The child outlives our interest in it; reap it so it never lingers as a zombie.
  std::thread([pid] { waitStatus(pid); }).detach();
  return {};
}

}  // namespace detail

std::optional<std::filesystem::path> runningBundle() {
  return detail::mainBundle();
}

std::optional<std::string> runningBundleIdentifier() {
  return detail::mainBundleIdentifier();
}

std::optional<std::filesystem::path> resourcesDir() {
  const auto bundle = runningBundle();
  if (!bundle) return std::nullopt;
  return *bundle / "Contents" / "Resources";
}

int unzip(const std::filesystem::path& zip, const std::filesystem::path& into, int64_t maxBytes) {
  // Stream every entry's bytes through a counter first: declared sizes can
  // lie, and an archive that would fill the disk must not start unpacking.
  int64_t total = 0;
  const int measured = detail::runTool("/usr/bin/bsdtar", {"-x", "-O", "-f", zip.string()},
                                       [&](std::string_view chunk) {
                                         total += static_cast<int64_t>(chunk.size());
                                         return total <= maxBytes;
                                       });
  if (measured != 0) return measured;
  return detail::extractZip(zip, into);
}

std::error_code startRelaunch(const std::filesystem::path& backup,
                              const std::filesystem::path& bundle) {
  return detail::spawnDetached("/bin/sh", detail::relaunchArguments(backup, bundle));
}

void terminate() {
  terminating = true;
  std::function<void()> handler;
  {
    std::lock_guard lock(seamMutex);
    handler = terminateOverride;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  if (handler) {
    QMetaObject::invokeMethod(app, handler, Qt::QueuedConnection);
  } else {
    QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
  }
}

bool terminationRequested() {
  return terminating;
}

void setTerminateForTesting(std::function<void()> handler) {
  std::lock_guard lock(seamMutex);
  terminateOverride = std::move(handler);
  terminating = false;
}

}  // namespace Platform

}  // namespace qh
