#include "compat/spawn.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

extern char** environ;

namespace qh {

namespace Spawn {
namespace {

// Owns the spawn objects of one start, released on every path.
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
  // dup2 onto itself clears close-on-exec; a closed standard stream stays closed.
  auto inherit = [&](int fd) {
    if (::fcntl(fd, F_GETFD) >= 0) keep(posix_spawn_file_actions_adddup2(&s.actions, fd, fd));
  };
  inherit(0);
  if (request.outputFd >= 0) {
    keep(posix_spawn_file_actions_adddup2(&s.actions, request.outputFd, 1));
    keep(posix_spawn_file_actions_adddup2(&s.actions, request.outputFd, 2));
  } else if (request.discardOutput) {
    keep(posix_spawn_file_actions_addopen(&s.actions, 1, "/dev/null", O_WRONLY, 0));
    keep(posix_spawn_file_actions_addopen(&s.actions, 2, "/dev/null", O_WRONLY, 0));
  } else {
    inherit(1);
    inherit(2);
  }
  if (request.workingDir) {
    keep(posix_spawn_file_actions_addchdir_np(&s.actions, request.workingDir->c_str()));
  }
  keep(Platform::limitSpawnInheritance(&s.attr, &s.actions));
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

int start(const Request& request, pid_t& pid) {
  Setup setup;
  if (const int err = describe(setup, request); err != 0) return err;
  std::vector<std::string> argStrings{request.program.string()};
  argStrings.insert(argStrings.end(), request.args.begin(), request.args.end());
  std::vector<char*> argv = pointers(argStrings);
  std::vector<std::string> envStrings;
  std::vector<char*> envp;
  if (request.environment) {
    envStrings.reserve(request.environment->size());
    for (const auto& [key, value] : *request.environment) envStrings.push_back(key + "=" + value);
    envp = pointers(envStrings);
  }
  return posix_spawn(&pid, request.program.c_str(), &setup.actions, &setup.attr, argv.data(),
                     request.environment ? envp.data() : environ);
}

int wait(pid_t pid) {
  int wstatus = 0;
  pid_t waited;
  do {
    waited = ::waitpid(pid, &wstatus, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited < 0) return -1;
  if (WIFEXITED(wstatus)) return WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) return WTERMSIG(wstatus);
  return -1;
}

}  // namespace Spawn

}  // namespace qh
