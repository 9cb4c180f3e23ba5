// The diagnostics zip a player sends to support: the launcher's logs, the
// client's logs and settings, what the compatibility layer keeps, and
// "system.txt" about the machine, every file with the player's home folder
// and login name hidden (Redaction). It only reads: nothing in the support
// or client folder changes. A file that cannot be read is left out and
// system.txt says why.
// Thread-safety: blocking file work; call write() on a worker.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/paths.h"

namespace qh::Diagnostics {

// Each file is at most its last this many bytes, cut at a line's start.
inline constexpr int64_t fileCap = int64_t{5} << 20;
// The client's "Logs" folder: at most this many files, the newest.
inline constexpr size_t maxClientLogs = 100;

struct Input {
  Paths paths;
  // Hidden in every file of the zip.
  std::filesystem::path home;
  std::string user;
  // What system.txt says of Rosetta 2.
  std::string rosetta;
  // The running bundle's resources; nullopt outside a bundle.
  std::optional<std::filesystem::path> resources;
  std::chrono::system_clock::time_point when = std::chrono::system_clock::now();
};

struct LeftOut {
  std::string name;
  std::string reason;
};

struct Saved {
  // The zip's entries, in the order written; "system.txt" last.
  std::vector<std::string> entries;
  std::vector<LeftOut> leftOut;
};

// Collects, hides and zips; replaces `zip` atomically. Throws
// std::system_error when the zip cannot be written (a missing, read-only or
// full folder) and Error when libarchive fails.
Saved write(const Input& input, const std::filesystem::path& zip);

// "Quellhaven-diagnostics-YYYYMMDD-HHMMSS.zip", `when` in local time.
std::string fileName(std::chrono::system_clock::time_point when);

}  // namespace qh::Diagnostics
