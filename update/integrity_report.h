// The report on the client's files that the launcher leaves for the game
// before each launch: which files of the installed manifest are missing or
// have the wrong size, as a Lua table in the client's saved variables.
// Thread-safety: pure functions and file-system work, any thread; blocking.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "update/manifest.h"

namespace qh::IntegrityReport {

// The report lists at most this many files, then only counts.
inline constexpr size_t maxListed = 100;

struct Problem {
  std::string rel;
  int64_t expected = 0;
  // -1: missing, not a regular file, or a path the launcher refuses to follow.
  int64_t found = -1;
  bool operator==(const Problem&) const = default;
};

struct Result {
  int64_t checked = 0;
  int64_t problemCount = 0;
  // The first maxListed problems, in manifest order.
  std::vector<Problem> problems;
};

// "WTF/SavedVariables/QuellhavenIntegrity.lua" in the client folder.
std::filesystem::path file(const std::filesystem::path& installDir);

// Compares every entry's size with the file below `installDir`.
Result check(const std::filesystem::path& installDir, const std::vector<ManifestEntry>& entries);

// The Lua text: launcher build, client version, UTC time, counts and paths.
std::string render(const Result& result, const std::string& clientVersion,
                   std::chrono::system_clock::time_point when);

// Checks the manifest recorded in the client folder (".qhmanifest", version
// from ".qhversion") and writes the report atomically. False when there is no
// client folder (nothing is created then) or the report cannot be written.
// Never throws.
bool write(const std::filesystem::path& installDir,
           std::chrono::system_clock::time_point when = std::chrono::system_clock::now());

}  // namespace qh::IntegrityReport
