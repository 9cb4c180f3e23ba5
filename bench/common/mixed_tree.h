// The 2 GiB tree of mixed file sizes (1 KiB to 512 MiB) that the hashing
// benchmarks read, with names interleaved so that large and small files mix
// in name order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qh::bench {

struct TreeFile {
  std::string rel;  // "Data/f<n>"
  int64_t size = 0;
};

// Writes the tree below `root` and returns its files in the order written.
std::vector<TreeFile> writeMixedTree(const std::filesystem::path& root);

}  // namespace qh::bench
