#include "compat/game_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/platform.h"

struct GameProcess::State {
  std::mutex mutex;
  bool exited = false;
  int status = 0;
  ExitHandler handler;
};

namespace {

struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

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

// Every action is attempted; the first error is the one reported.
int describe(SpawnSetup& s, const GameProcess::Launch& launch) {
  int err = 0;
  auto keep = [&err](int rc) {
    if (err == 0) err = rc;
  };
  // dup2 onto itself clears close-on-exec; a closed standard stream stays closed.
  auto inherit = [&](int fd) {
    if (::fcntl(fd, F_GETFD) >= 0) keep(posix_spawn_file_actions_adddup2(&s.actions, fd, fd));
  };
  inherit(0);
  if (launch.outputFd >= 0) {
    keep(posix_spawn_file_actions_adddup2(&s.actions, launch.outputFd, 1));
    keep(posix_spawn_file_actions_adddup2(&s.actions, launch.outputFd, 2));
  } else {
    inherit(1);
    inherit(2);
  }
  keep(posix_spawn_file_actions_addchdir_np(&s.actions, launch.workingDir.c_str()));
  keep(platform::limitSpawnInheritance(&s.attr, &s.actions));
  return err;
}

void watch(pid_t pid, std::shared_ptr<GameProcess::State> state) {
  int wstatus = 0;
  pid_t waited;
  do {
    waited = ::waitpid(pid, &wstatus, 0);
  } while (waited < 0 && errno == EINTR);
  GameProcess::ExitHandler handler;
  {
    std::lock_guard lock(state->mutex);
    state->exited = true;
    state->status = waited < 0 ? -1 : statusOf(wstatus);
    handler = std::move(state->handler);
    state->handler = nullptr;
  }
  if (handler) handler(state->status);
}

}  // namespace

std::shared_ptr<GameProcess> GameProcess::start(const Launch& launch) {
  SpawnSetup setup;
  int err = describe(setup, launch);
  pid_t pid = -1;
  if (err == 0) {
    std::vector<std::string> argStrings{launch.executable.string()};
    argStrings.insert(argStrings.end(), launch.args.begin(), launch.args.end());
    std::vector<char*> argv = pointers(argStrings);
    std::vector<std::string> envStrings;
    envStrings.reserve(launch.environment.size());
    for (const auto& [key, value] : launch.environment) envStrings.push_back(key + "=" + value);
    std::vector<char*> envp = pointers(envStrings);
    err = posix_spawn(&pid, launch.executable.c_str(), &setup.actions, &setup.attr, argv.data(),
                      envp.data());
  }
  if (err != 0) {
    throw std::system_error(err, std::generic_category(),
                            "Could not start " + launch.executable.string());
  }
  auto state = std::make_shared<State>();
  std::thread(watch, pid, state).detach();
  return std::shared_ptr<GameProcess>(new GameProcess(pid, std::move(state)));
}

bool GameProcess::running() const {
  std::lock_guard lock(state_->mutex);
  return !state_->exited;
}

void GameProcess::setExitHandler(ExitHandler handler) {
  int status = 0;
  {
    std::lock_guard lock(state_->mutex);
    if (!state_->exited) {
      state_->handler = std::move(handler);
      return;
    }
    status = state_->status;
  }
  if (handler) handler(status);
}
