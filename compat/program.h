// Runs an external program to completion and hands back its exit status
// (encoded as platform/process.h says). The child inherits descriptors 0, 1
// and 2 only (the last two possibly redirected); nothing else the launcher
// holds open reaches it.
// Thread-safety: run() is awaited on the main thread; runBlocking() on workers.
#pragma once

#include <qcoro/qcorotask.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace qh::Program {

using Environment = Process::Environment;

// Starts `path` (absolute, used unchanged) with `args` (the first is the first
// argument, not a program name). `env`, when given, is the child's whole
// environment; otherwise it inherits the launcher's. Standard output and error
// are appended to `log` (created when missing; left unredirected when it
// cannot be opened), or go to the null device when no log is given.
// Returns the exit status, or -1 when the program could not be started
// (logged as "spawn failed ..."). Never throws; never times out. Once `stop`
// is requested the child is killed (its work is done again at the next start)
// and -1 returned.
int runBlocking(const std::filesystem::path& path, const std::vector<std::string>& args,
                const std::optional<Environment>& env,
                const std::optional<std::filesystem::path>& log, StopToken stop = {});

// The same, awaited without blocking the caller's thread: the child is waited
// for on a thread of its own, so a child that never ends ties up nothing else;
// quitting stops it.
QCoro::Task<int> run(std::filesystem::path path, std::vector<std::string> args,
                     std::optional<Environment> env, std::optional<std::filesystem::path> log);

}  // namespace qh::Program
