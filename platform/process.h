// Child processes: the one place the launcher starts a program and waits for
// it. A child inherits descriptors 0, 1 and 2 only, each as its Stream says;
// nothing else the launcher holds open reaches it.
//
// Exit statuses are one int everywhere, as a shell reports them: the exit
// code (0 to 255) after a normal exit, 128 + the signal's number for a child
// a signal ended (SIGKILL: 137, SIGTERM: 143), and -1 for a child that could
// not be started or waited for.
//
// Thread-safety: every function may be called from any thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/stop_token.h"
#include "platform/unique_fd.h"

namespace qh::Process {

using Environment = std::map<std::string, std::string>;

// Where one of the child's standard streams leads: the launcher's own (closed
// in the child when it is closed here), the null device, a descriptor that
// stays the caller's, or, for standard error only, where standard output
// leads (a shell's 2>&1).
struct Stream {
  enum class Kind { inherited, nullDevice, descriptor, sameAsOutput };
  Kind kind = Kind::inherited;
  int fd = -1;

  static Stream inherited() { return {}; }
  static Stream nullDevice() { return {Kind::nullDevice}; }
  static Stream to(int fd) { return {Kind::descriptor, fd}; }
  static Stream sameAsOutput() { return {Kind::sameAsOutput}; }
};

struct Request {
  // Absolute, used unchanged; also the child's program name (argv[0]).
  std::filesystem::path program;
  // The arguments after the program name.
  std::vector<std::string> args = {};
  // The child's whole environment; absent: the launcher's own.
  std::optional<Environment> environment = {};
  // Absent: the launcher's own working folder.
  std::optional<std::filesystem::path> workingDir = {};
  Stream input = {}, output = {}, error = {};
  // In a session of its own, so nothing aimed at the launcher's (a closed
  // terminal, a signal to its group) reaches the child.
  bool newSession = false;
};

// A started child, or why it could not start (`pid` is -1 then): the
// program's absence or permissions, a working folder that cannot be entered,
// a Stream's descriptor that is not open, sameAsOutput anywhere but `error`.
struct Started {
  pid_t pid = -1;
  std::error_code error;
};
Started spawn(const Request& request);

// Waits for the child `pid` to end and reaps it: its exit status, or -1 when
// it cannot be waited for (not our child, or already reaped).
int wait(pid_t pid);

// wait() that gives up once `stop` is requested: the exit status, or nullopt
// when the stop came first (the child is then left as it is, unreaped). The
// child's end is noticed within 50 ms.
std::optional<int> waitUnlessStopped(pid_t pid, StopToken stop);

// spawn and wait: the exit status, or -1 when the child could not start.
int run(const Request& request);

// Runs the child to its end with its standard output (and its standard error
// when that is sameAsOutput) read into `sink`, which replaces the request's
// `output`; a false return from `sink` kills the child. Returns the exit status, or -1 when the
// child could not start, its output could not be read, or `sink` stopped it. Blocks: call it on a
// worker.
int runReading(Request request, const std::function<bool(std::string_view)>& sink);

// A pipe whose two ends close on exec: a child sees one only as a Stream.
// Both ends are empty when none could be made, with the reason in `error`.
struct Pipe {
  UniqueFd readEnd, writeEnd;
  std::error_code error;
};
Pipe openPipe();

}  // namespace qh::Process
