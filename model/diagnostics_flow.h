// Tools > "Save diagnostics...": the diagnostics zip written on a worker into
// the first folder the machine offers that takes it (the Desktop, else
// Downloads), shown in the file manager, and the outcome in `status`.
// Thread-safety: main thread only.
#pragma once

#include <qcoro/qcorotask.h>

#include <filesystem>
#include <string>

namespace qh {

class LauncherModel;
class RosettaHost;
class System;

class DiagnosticsFlow {
 public:
  // REQUIRES: model and system outlive the flow.
  DiagnosticsFlow(LauncherModel& model, System& system);

  // Saves, shows and reports; does nothing while a save runs. Touches no
  // phase, so it works in every one, with or without a client. Never throws.
  QCoro::Task<> save();

 private:
  LauncherModel& model_;
  System& system_;
  bool saving_ = false;
};

// `path` with the home folder `home` at its start written "~".
std::string homeRelative(const std::filesystem::path& path, const std::filesystem::path& home);

// What the diagnostics say of Rosetta 2 on `host`.
std::string rosettaState(const RosettaHost& host);

}  // namespace qh
