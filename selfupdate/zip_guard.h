// Reads a zip archive's central directory to decide, before anything is
// unpacked, whether it may be unpacked at all.
// Thread-safety: pure function of the file; any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace qh::ZipGuard {

struct Inspection {
  // Why the archive must not be unpacked: not a zip (or a zip64 one), entries
  // that together declare more than the limit, a name that is absolute, holds
  // "..", or leads through a symbolic-link entry. Absent when it may.
  std::optional<std::string> refused;
  // What its entries declare they unpack to, in bytes. Unpacking must not
  // produce more: an archive that does lies about its sizes.
  int64_t declaredBytes = 0;
};
Inspection inspect(const std::filesystem::path& zip, int64_t maxBytes);

// Why the unpacked tree under `folder` is unsafe, or nullopt: a symbolic link
// whose target lies outside `folder`.
std::optional<std::string> checkUnpacked(const std::filesystem::path& folder);

}  // namespace qh::ZipGuard
