// "system.txt" of the diagnostics: the launcher, the machine, the install
// folder and its volume, the compatibility layer, the speed limit, the last
// comparison's findings, and what the zip left out and why.
// Thread-safety: gatherFacts blocks on the file system (a worker); render is pure.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "compat/layer_files.h"
#include "model/diagnostics.h"

namespace qh::Diagnostics {

struct SystemFacts {
  std::chrono::system_clock::time_point when;
  std::string os;
  std::string cpu;
  std::string architecture;
  std::string rosetta;
  int64_t memory = -1;
  std::filesystem::path installDir;
  bool installExists = false;
  // Of the install folder's volume (its nearest existing folder's); -1 when unknown.
  int64_t freeSpace = -1;
  LayerFiles layer;
  std::string speedLimit;
  bool packageManaged = false;
  // "last_comparison.txt" as the update engine left it; nullopt when none.
  std::optional<std::string> lastComparison;
};

SystemFacts gatherFacts(const Input& input, const LayerFiles& layer);

// The text, before redaction.
std::string render(const SystemFacts& facts, const std::vector<LeftOut>& leftOut);

// "8.0 GB (8589934592 bytes)", "512 KB (524288 bytes)"; "unknown" when negative.
std::string sizeText(int64_t bytes);

}  // namespace qh::Diagnostics
