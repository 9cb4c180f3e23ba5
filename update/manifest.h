// The client manifest: one line per file with its SHA-1, size and path, and
// the small services the update engine and addon reconciliation take from it.
// Thread-safety: pure functions and file-system reads, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qh {

struct ManifestEntry {
  // As written; compared lower-cased.
  std::string sha1;
  int64_t size = 0;
  // Relative to the install folder, "/" as separator, case as written.
  std::string rel;

  bool operator==(const ManifestEntry&) const = default;
};

namespace Manifest {

// The entries in line order; lines that do not follow the format are dropped
// silently, so garbage gives an empty list.
std::vector<ManifestEntry> parse(std::string_view text);

// The folder names below "Interface/AddOns/" in order of first appearance,
// duplicates (by lower case) dropped, in the case first seen.
std::vector<std::string> officialAddons(const std::vector<ManifestEntry>& entries);

}  // namespace Manifest

}  // namespace qh
