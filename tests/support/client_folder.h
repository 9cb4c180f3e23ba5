// Helpers for tests on a client folder: its paths, its names.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "core/paths.h"

namespace qh {

// Paths whose install folder is `installDir`.
inline Paths pathsAt(const std::filesystem::path& installDir) {
  Paths p;
  p.installDir = installDir;
  return p;
}

// The names directly in `folder`, hidden ones included.
inline std::set<std::string> namesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    names.insert(e.path().filename().string());
  }
  return names;
}

}  // namespace qh
