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

bool RealRosettaHost::isAppleSilicon() const {
  return Platform::isAppleSilicon();
}

bool RealRosettaHost::rosettaPresent() const {
  std::error_code ec;
  return fs::exists(Rosetta::translator, ec);
}

int RealRosettaHost::run(const fs::path& program, const std::vector<std::string>& args,
                         bool quiet) const {
  if (quiet) return Program::runBlocking(program, args, std::nullopt, std::nullopt);
  return runInherited(program, args);
}

std::string Rosetta::adminScript() {
  return std::string("do shell script \"") + softwareUpdate +
         " --install-rosetta --agree-to-license\" with administrator privileges";
}

bool Runtime::rosettaNeeded(const RosettaHost& host) {
  return host.isAppleSilicon() && !host.rosettaPresent();
}

bool Runtime::installRosetta(const RosettaHost& host) {
  host.run(Rosetta::softwareUpdate, {"--install-rosetta", "--agree-to-license"}, true);
  if (host.rosettaPresent()) return true;
  const int status = host.run(Rosetta::osascript, {"-e", Rosetta::adminScript()}, false);
  return status == 0 && host.rosettaPresent();
}

}  // namespace qh
