#include "app/command_line.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/paths.h"
#include "core/qh.h"
#include "model/diagnostics.h"
#include "model/diagnostics_flow.h"
#include "model/model_services.h"
#include "platform/platform.h"

namespace qh::CommandLine {

namespace fs = std::filesystem;

namespace {

constexpr const char* program = "quellhaven-launcher";

Request mistake(std::string text) {
  Request r;
  r.action = Request::Action::mistake;
  r.mistake = std::string(program) + ": " + text + " (see " + program + " --help)";
  return r;
}

// The same zip Tools > "Save diagnostics..." saves, for the same user; it
// creates nothing in the support folder, not even the folder itself.
int saveDiagnostics(const std::string& where) {
  nameApplication();
  RealSystem system;
  Diagnostics::Input input{Paths::read(), system.homeDir(), system.loginName(),
                           rosettaState(system.rosetta()), system.resourcesDir()};
  fs::path zip = where;
  std::error_code ec;
  if (fs::is_directory(zip, ec)) zip /= Diagnostics::fileName(input.when);
  try {
    Diagnostics::write(input, zip);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: couldn't save diagnostics: %s\n", program, e.what());
    return 1;
  }
  std::printf("Saved diagnostics to %s\n", zip.c_str());
  return 0;
}

}  // namespace

Request parse(const std::vector<std::string>& args) {
  Request request;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    Request found;
    if (arg == "--version") {
      found.action = Request::Action::version;
    } else if (arg == "--help" || arg == "-h") {
      found.action = Request::Action::help;
    } else if (arg == "--diagnostics" || arg.rfind("--diagnostics=", 0) == 0) {
      found.action = Request::Action::diagnostics;
      if (arg == "--diagnostics") {
        if (i + 1 == args.size()) return mistake("--diagnostics needs a PATH");
        found.path = args[++i];
      } else {
        found.path = arg.substr(std::string("--diagnostics=").size());
      }
      if (found.path.empty()) return mistake("--diagnostics needs a PATH");
    } else if (arg.rfind("-psn_", 0) == 0) {
      // Older macOS hands an app started from the Finder its process serial number.
      continue;
    } else if (!arg.empty() && arg[0] == '-') {
      return mistake("unknown option '" + arg + "'");
    } else {
      return mistake("unexpected argument '" + arg + "'");
    }
    if (request.action == Request::Action::window) request = found;
  }
  return request;
}

std::string versionText() {
  return "Quellhaven Launcher build " + std::to_string(QH::launcherBuild);
}

std::string helpText() {
  return "Usage: " + std::string(program) +
         " [OPTION]\n"
         "Installs, updates and starts Quellhaven. Without an option it opens the\n"
         "launcher window.\n"
         "\n"
         "Options:\n"
         "  --version            print the launcher's build and exit\n"
         "  --help               print this help and exit\n"
         "  --diagnostics PATH   save the diagnostics zip (what Tools > Save diagnostics...\n"
         "                       saves) as PATH, or into PATH when it is a folder, and exit\n"
         "\n"
         "Environment:\n"
         "  HOME                 the home folder; the client installs into ~/Quellhaven\n"
         "                       unless another folder is chosen\n"
         "  XDG_DATA_HOME        Linux: the folder that holds the launcher's support folder\n"
         "                       \"Quellhaven\" (default ~/.local/share)\n"
         "  QH_CA_FILE           a file of CA certificates to trust instead of the system's\n"
         "  https_proxy, http_proxy, no_proxy\n"
         "                       the proxy for the launcher's downloads (the game gets none)\n"
         "  QT_QPA_PLATFORM      Qt's window system, e.g. xcb or wayland; offscreen runs\n"
         "                       without a display\n";
}

ApplicationNames applicationNames(const std::string& bundleId, bool underBundleIdentifier) {
  ApplicationNames names{"Quellhaven", {}, "Quellhaven Launcher"};
  if (!underBundleIdentifier) return names;
  QStringList parts = QString::fromStdString(bundleId).split('.');
  names.application = parts.takeLast();
  std::reverse(parts.begin(), parts.end());
  names.organizationDomain = parts.join('.');
  return names;
}

void nameApplication() {
  const ApplicationNames names =
      applicationNames(QH::bundleIdentifier(), Platform::settingsUnderBundleIdentifier);
  QCoreApplication::setOrganizationName(names.organization);
  QCoreApplication::setOrganizationDomain(names.organizationDomain);
  QCoreApplication::setApplicationName(names.application);
}

std::optional<int> run(int argc, char** argv) {
  const Request request = parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  switch (request.action) {
    case Request::Action::window:
      return std::nullopt;
    case Request::Action::version:
      std::printf("%s\n", versionText().c_str());
      return 0;
    case Request::Action::help:
      std::printf("%s", helpText().c_str());
      return 0;
    case Request::Action::diagnostics:
      return saveDiagnostics(request.path);
    case Request::Action::mistake:
      std::fprintf(stderr, "%s\n", request.mistake.c_str());
      return 2;
  }
  return 2;
}

}  // namespace qh::CommandLine
