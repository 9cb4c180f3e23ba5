#include "compat/game_process.h"

#include <mutex>
#include <optional>
#include <system_error>

#include "core/own_threads.h"
#include "platform/process.h"
#include "platform/system_error.h"

namespace qh {

struct GameProcess::State {
  std::mutex mutex;
  bool exited = false;
  int status = 0;
  ExitHandler handler;
};

namespace {

void watch(pid_t pid, const std::shared_ptr<GameProcess::State>& state, StopToken stop) {
  // The launcher quitting stops the watch, not the game.
  const std::optional<int> ended = Process::waitUnlessStopped(pid, std::move(stop));
  if (!ended) return;
  const int status = *ended;
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
  Process::Request request{launch.executable, launch.args, launch.environment, launch.workingDir};
  if (launch.outputFd >= 0) request.output = request.error = Process::Stream::to(launch.outputFd);
  const Process::Started child = Process::spawn(request);
  if (child.error) throw systemError("Could not start", launch.executable, child.error);
  auto state = std::make_shared<State>();
  OwnThreads::start([pid = child.pid, state](StopToken stop) { watch(pid, state, stop); });
  return std::shared_ptr<GameProcess>(new GameProcess(child.pid, std::move(state)));
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
