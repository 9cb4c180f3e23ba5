#include "compat/rosetta.h"

#include "compat/program.h"
#include "compat/runtime.h"
#include "platform/platform.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// The administrator prompt's tool keeps the launcher's own output streams and
// environment, so it is not started through Program, which redirects them.
int runInherited(const fs::path& program, const std::vector<std::string>& args) {
  return Process::run({program, args});
}

}  // namespace

RosettaHost RosettaHost::system() {
  RosettaHost host;
  host.isAppleSilicon = [] { return Platform::isAppleSilicon(); };
  host.rosettaPresent = [] {
    std::error_code ec;
    return fs::exists(Rosetta::translator, ec);
  };
  host.run = [](const fs::path& program, const std::vector<std::string>& args, bool quiet) {
    if (quiet) return Program::runBlocking(program, args, std::nullopt, std::nullopt);
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

}  // namespace qh
