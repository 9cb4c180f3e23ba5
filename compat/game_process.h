// The running game client: one child process and the thread that waits for it.
// The watcher is one of the launcher's own threads (core/own_threads.h): as
// the launcher quits it stops watching and leaves the game running.
// Thread-safety: every member may be called from any thread. The exit handler
// runs on the watcher thread, or on the caller of setExitHandler when the
// process had already ended by then; never once the watch was stopped.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qh {

class GameProcess {
 public:
  // The process's exit status, encoded as platform/process.h says.
  using ExitHandler = std::function<void(int status)>;

  struct Launch {
    std::filesystem::path executable;
    std::vector<std::string> args;
    // The child's whole environment; nothing of the launcher's is inherited.
    std::map<std::string, std::string> environment;
    std::filesystem::path workingDir;
    // Standard output and error; -1 leaves them where the launcher's go. The
    // descriptor stays the caller's.
    int outputFd = -1;
  };

  // Starts the child and its watcher. Throws std::system_error carrying the
  // platform's reason when the program cannot be started.
  static std::shared_ptr<GameProcess> start(const Launch& launch);

  pid_t pid() const { return pid_; }
  // False once the watcher has seen the child end.
  bool running() const;
  // At most one handler; a later call replaces one not yet called.
  void setExitHandler(ExitHandler handler);

  struct State;

 private:
  GameProcess(pid_t pid, std::shared_ptr<State> state) : pid_(pid), state_(std::move(state)) {}
  pid_t pid_;
  std::shared_ptr<State> state_;
};

}  // namespace qh
