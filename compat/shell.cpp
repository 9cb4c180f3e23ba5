#include "compat/shell.h"

#include <fcntl.h>
#include <unistd.h>

#include <system_error>

#include "compat/spawn.h"
#include "core/async.h"
#include "core/log.h"

namespace qh::Shell {
namespace {

int openLog(const std::filesystem::path& log) {
  // Created first on its own so a failure to create is told apart from one
  // to open; both leave the output where the launcher's own goes.
  const int created = ::open(log.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (created >= 0) ::close(created);
  return ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
}

}  // namespace

int runBlocking(const std::filesystem::path& path, const std::vector<std::string>& args,
                const std::optional<Environment>& env,
                const std::optional<std::filesystem::path>& log) {
  Spawn::Request request{path, args, env, std::nullopt};
  if (log) {
    request.outputFd = openLog(*log);
  } else {
    request.discardOutput = true;
  }
  pid_t pid = -1;
  const int err = Spawn::start(request, pid);
  // The child holds its own copy; ours must not outlive the start.
  if (request.outputFd >= 0) ::close(request.outputFd);
  if (err != 0) {
    Log::line("spawn failed " + path.string() + ": " +
              std::error_code(err, std::generic_category()).message());
    return -1;
  }
  return Spawn::wait(pid);
}

QCoro::Task<int> run(std::filesystem::path path, std::vector<std::string> args,
                     std::optional<Environment> env, std::optional<std::filesystem::path> log) {
  QCoro::Task<int> work =
      onOwnThread([path = std::move(path), args = std::move(args), env = std::move(env),
                   log = std::move(log)] { return runBlocking(path, args, env, log); });
  const int status = co_await work;
  co_return status;
}

}  // namespace qh::Shell
