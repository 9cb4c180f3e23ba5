#include "compat/shell.h"

#include <fcntl.h>
#include <qcoro/qcorofuture.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFuture>
#include <QPromise>
#include <cerrno>
#include <system_error>
#include <thread>

#include "core/log.h"
#include "platform/platform.h"

extern char** environ;

namespace Shell {
namespace {

// Owns the descriptors and spawn objects of one start, released on every path.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  int logFd = -1;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (logFd >= 0) ::close(logFd);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

int openLog(const std::filesystem::path& log) {
  // Created first on its own so a failure to create is told apart from one
  // to open; both leave the output where the launcher's own goes.
  const int created = ::open(log.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (created >= 0) ::close(created);
  return ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
}

// Every action is attempted; the first error is the one reported.
int describeOutput(SpawnSetup& s, const std::optional<std::filesystem::path>& log) {
  int err = 0;
  auto keep = [&err](int rc) {
    if (err == 0) err = rc;
  };
  // dup2 onto itself clears close-on-exec; a closed standard stream stays closed.
  auto inherit = [&](int fd) {
    if (::fcntl(fd, F_GETFD) >= 0) keep(posix_spawn_file_actions_adddup2(&s.actions, fd, fd));
  };
  inherit(0);
  if (log) {
    s.logFd = openLog(*log);
    if (s.logFd >= 0) {
      keep(posix_spawn_file_actions_adddup2(&s.actions, s.logFd, 1));
      keep(posix_spawn_file_actions_adddup2(&s.actions, s.logFd, 2));
    } else {
      inherit(1);
      inherit(2);
    }
  } else {
    keep(posix_spawn_file_actions_addopen(&s.actions, 1, "/dev/null", O_WRONLY, 0));
    keep(posix_spawn_file_actions_addopen(&s.actions, 2, "/dev/null", O_WRONLY, 0));
  }
  keep(platform::limitSpawnInheritance(&s.attr, &s.actions));
  return err;
}

std::vector<std::string> environmentLines(const Environment& env) {
  std::vector<std::string> lines;
  lines.reserve(env.size());
  for (const auto& [key, value] : env) lines.push_back(key + "=" + value);
  return lines;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  out.reserve(strings.size() + 1);
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

int statusOf(int wstatus) {
  if (WIFEXITED(wstatus)) return WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) return WTERMSIG(wstatus);
  return -1;
}

}  // namespace

int runBlocking(const std::filesystem::path& path, const std::vector<std::string>& args,
                const std::optional<Environment>& env,
                const std::optional<std::filesystem::path>& log) {
  SpawnSetup setup;
  int err = describeOutput(setup, log);
  pid_t pid = -1;
  if (err == 0) {
    std::vector<std::string> argStrings;
    argStrings.reserve(args.size() + 1);
    argStrings.push_back(path.string());
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv = pointers(argStrings);
    std::vector<std::string> envStrings;
    std::vector<char*> envp;
    if (env) {
      envStrings = environmentLines(*env);
      envp = pointers(envStrings);
    }
    err = posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attr, argv.data(),
                      env ? envp.data() : environ);
  }
  if (err != 0) {
    Log::line("spawn failed " + path.string() + ": " +
              std::error_code(err, std::generic_category()).message());
    return -1;
  }
  // The child holds its own copies; ours must not outlive the start.
  if (setup.logFd >= 0) {
    ::close(setup.logFd);
    setup.logFd = -1;
  }
  int wstatus = 0;
  pid_t waited;
  do {
    waited = ::waitpid(pid, &wstatus, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited < 0) return -1;
  return statusOf(wstatus);
}

QCoro::Task<int> run(std::filesystem::path path, std::vector<std::string> args,
                     std::optional<Environment> env, std::optional<std::filesystem::path> log) {
  QPromise<int> promise;
  QFuture<int> future = promise.future();
  promise.start();
  std::thread([promise = std::move(promise), path = std::move(path), args = std::move(args),
               env = std::move(env), log = std::move(log)]() mutable {
    promise.addResult(runBlocking(path, args, env, log));
    promise.finish();
  }).detach();
  const int status = co_await future;
  co_return status;
}

}  // namespace Shell
