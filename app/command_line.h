// The launcher's command line, for support scripts and package managers:
// --version, --help and --diagnostics PATH each do their work without a
// window and exit; with no argument the window opens.
// Thread-safety: main thread, before the application object exists.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace qh::CommandLine {

struct Request {
  enum class Action { window, version, help, diagnostics, mistake };
  Action action = Action::window;
  // diagnostics: where the zip goes (a folder takes the usual file name).
  std::string path;
  // mistake: the one line that says what is wrong.
  std::string mistake;
};

// Reads the arguments after the program's name. The first option that asks
// for something wins; an option not listed in helpText(), a missing PATH or
// any other argument is a mistake.
Request parse(const std::vector<std::string>& args);

// "Quellhaven Launcher build 3".
std::string versionText();
// The options, and the environment variables a user may set.
std::string helpText();

// What the user defaults and caches are filed under. With
// `underBundleIdentifier` (macOS) Qt keeps the defaults in the domain
// "<organisation domain, its parts reversed>.<application>", so the names
// make that `bundleId`.
struct ApplicationNames {
  QString organization;
  QString organizationDomain;
  QString application;
};
ApplicationNames applicationNames(const std::string& bundleId, bool underBundleIdentifier);

// Names the application by applicationNames() for this system.
void nameApplication();

// Does what the command line asks and returns the exit status (0, 1 when the
// diagnostics could not be saved, 2 for a mistake); nullopt when the window
// should open.
std::optional<int> run(int argc, char** argv);

}  // namespace qh::CommandLine
