#include "compat/program.h"

#include <fcntl.h>
#include <signal.h>

#include "core/async.h"
#include "core/log.h"
#include "platform/system_error.h"

namespace qh::Program {
namespace {

UniqueFd openLog(const std::filesystem::path& log) {
  // Created first on its own so a failure to create is told apart from one
  // to open; both leave the output where the launcher's own goes.
  const UniqueFd created(::open(log.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  return UniqueFd(::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
}

}  // namespace

int runBlocking(const std::filesystem::path& path, const std::vector<std::string>& args,
                const std::optional<Environment>& env,
                const std::optional<std::filesystem::path>& log, StopToken stop) {
  Process::Request request{path, args, env};
  UniqueFd output;
  if (log) {
    output = openLog(*log);
    if (output) request.output = request.error = Process::Stream::to(output.get());
  } else {
    request.output = request.error = Process::Stream::nullDevice();
  }
  const Process::Started child = Process::spawn(request);
  // The child holds its own copy; ours must not outlive the start.
  output.reset();
  if (child.error) {
    Log::line(describe("spawn failed", path, child.error));
    return -1;
  }
  if (const std::optional<int> status = Process::waitUnlessStopped(child.pid, stop)) {
    return *status;
  }
  ::kill(child.pid, SIGKILL);
  Process::wait(child.pid);
  return -1;
}

QCoro::Task<int> run(std::filesystem::path path, std::vector<std::string> args,
                     std::optional<Environment> env, std::optional<std::filesystem::path> log) {
  const int status = co_await onOwnThread(
      [path = std::move(path), args = std::move(args), env = std::move(env), log = std::move(log)](
          StopToken stop) { return runBlocking(path, args, env, log, std::move(stop)); });
  co_return status;
}

}  // namespace qh::Program
