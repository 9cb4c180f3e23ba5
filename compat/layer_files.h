// What the compatibility layer keeps in the support folder, found without the
// server and without changing anything: what a player's diagnostics report.
// Thread-safety: blocking file checks; any thread.
#pragma once

#include <filesystem>
#include <string>

#include "core/paths.h"

namespace qh {

struct LayerFiles {
  // The runtime the cached description names, else the built-in one.
  std::string runtimeId;
  // Whether that came from the cached description.
  bool cached = false;
  // Whether it is the system's Wine (Linux without a described runtime).
  bool systemWine = false;
  std::filesystem::path cachedSpec;
  std::filesystem::path prefixMarker;
  std::filesystem::path wineLog;
  bool runtimeInstalled = false;
  bool prefixReady = false;

  static LayerFiles read(const Paths& paths);
};

}  // namespace qh
