#include "compat/rosetta.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "compat/runtime.h"
#include "compat/shell.h"
#include "platform/platform.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// The administrator prompt's tool keeps the launcher's own output streams and
// environment, so it is started here rather than through Shell.
int runInherited(const fs::path& program, const std::vector<std::string>& args) {
  std::vector<std::string> strings{program.string()};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int wstatus = 0;
  pid_t waited;
  do {
    waited = ::waitpid(pid, &wstatus, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited < 0 || !WIFEXITED(wstatus)) return -1;
  return WEXITSTATUS(wstatus);
}

}  // namespace

RosettaHost RosettaHost::system() {
  RosettaHost host;
  host.isAppleSilicon = [] { return platform::isAppleSilicon(); };
  host.rosettaPresent = [] {
    std::error_code ec;
    return fs::exists(Rosetta::translator, ec);
  };
  host.run = [](const fs::path& program, const std::vector<std::string>& args, bool quiet) {
    if (quiet) return Shell::runBlocking(program, args, std::nullopt, std::nullopt);
    return runInherited(program, args);
  };
  return host;
}

std::string Rosetta::adminScript() {
  return std::string("do shell script \"") + softwareUpdate +
         " --install-rosetta --agree-to-license\" with administrator privileges";
}

bool Runtime::rosettaNeeded(const RosettaHost& host) {
  if (!host.isAppleSilicon || !host.isAppleSilicon()) return false;
  return !(host.rosettaPresent && host.rosettaPresent());
}

bool Runtime::installRosetta(const RosettaHost& host) {
  const auto present = [&host] { return host.rosettaPresent && host.rosettaPresent(); };
  if (!host.run) return present();
  host.run(Rosetta::softwareUpdate, {"--install-rosetta", "--agree-to-license"}, true);
  if (present()) return true;
  const int status = host.run(Rosetta::osascript, {"-e", Rosetta::adminScript()}, false);
  if (status != 0) return false;
  return present();
}
