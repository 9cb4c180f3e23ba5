// Starting a child process: the one place the launcher calls posix_spawn. The
// child inherits descriptors 0, 1 and 2 only (the last two possibly
// redirected); nothing else the launcher holds open reaches it.
// Thread-safety: plain functions, any thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qh::Spawn {

using Environment = std::map<std::string, std::string>;

struct Request {
  // Absolute, used unchanged; also the child's program name (argv[0]).
  std::filesystem::path program;
  // The arguments after the program name.
  std::vector<std::string> args;
  // The child's whole environment; absent: the launcher's own.
  std::optional<Environment> environment;
  // Absent: the launcher's own working folder.
  std::optional<std::filesystem::path> workingDir;
  // Where standard output and error go: `outputFd` (a descriptor that stays
  // the caller's), else the null device when `discardOutput`, else where the
  // launcher's own go.
  int outputFd = -1;
  bool discardOutput = false;
};

// Starts the child and stores its id in `pid`. Returns 0, or the error number
// of the reason it could not be started.
int start(const Request& request, pid_t& pid);

// Waits for the child to end: its exit code, the number of the signal that
// ended it, or -1 when it cannot be waited for.
int wait(pid_t pid);

}  // namespace qh::Spawn
