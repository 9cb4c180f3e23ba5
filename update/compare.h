// Which manifest entries the install folder lacks: by size and recorded
// checksum, or by full SHA-1 when forced.
// Thread-safety: blocking file-system work; run it on a worker thread.
#pragma once

#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/status.h"
#include "update/manifest.h"

namespace qh::Compare {

// `rel` lower-cased to `sha1`, later lines winning.
using Known = std::unordered_map<std::string, std::string>;

Known knownChecksums(const std::vector<ManifestEntry>& localEntries);

// The entries to download, in manifest order. Never lists the launcher's own
// executables, an existing file below "WTF/", or a path refused by
// InstallTree (those are written to the launcher log once). With `force`,
// hashes the files whose size and recorded checksum match, reporting
// "Verifying files... (n of N)" through `status` at every tenth position.
std::vector<ManifestEntry> neededEntries(const std::vector<ManifestEntry>& entries,
                                         const Known& known,
                                         const std::filesystem::path& installDir, bool force,
                                         const StatusCallback& status);

}  // namespace qh::Compare
