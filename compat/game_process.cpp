#include "compat/game_process.h"

#include <mutex>
#include <system_error>
#include <thread>

#include "compat/spawn.h"

namespace qh {

struct GameProcess::State {
  std::mutex mutex;
  bool exited = false;
  int status = 0;
  ExitHandler handler;
};

namespace {

void watch(pid_t pid, std::shared_ptr<GameProcess::State> state) {
  const int status = Spawn::wait(pid);
  GameProcess::ExitHandler handler;
  {
    std::lock_guard lock(state->mutex);
    state->exited = true;
    state->status = status;
    handler = std::move(state->handler);
    state->handler = nullptr;
  }
  if (handler) handler(status);
}

}  // namespace

std::shared_ptr<GameProcess> GameProcess::start(const Launch& launch) {
  Spawn::Request request{launch.executable, launch.args, launch.environment, launch.workingDir};
  request.outputFd = launch.outputFd;
  pid_t pid = -1;
  if (const int err = Spawn::start(request, pid); err != 0) {
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

}  // namespace qh
