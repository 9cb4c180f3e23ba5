// Finds the blocks of a block map in an old copy of the file: every offset of
// the old file is tried with the rolling checksum, and a weak match counts
// once the strong hash agrees. A block found need not be where it was: an
// insertion early in the file shifts the rest, and the rest is still found.
// Thread-safety: blocks on reads; worker threads only.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "update/block_map.h"

namespace qh::BlockScan {

// For each block of `map`, an offset of `oldFile` holding the same bytes (as
// far as the two checksums tell), or -1. A file that changes meanwhile only
// makes the answer wrong, which the whole file's SHA-1 catches later.
// Throws std::system_error when the file cannot be opened or read, and
// TransportError("Download cancelled") once `cancel` is set.
std::vector<int64_t> find(const BlockMap& map, const std::filesystem::path& oldFile,
                          const std::atomic<bool>& cancel);

}  // namespace qh::BlockScan
