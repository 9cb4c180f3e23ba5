// A made-up game client for the demo, tests and benchmarks: the usual folders,
// names with spaces and accents, files of mixed sizes with deterministic
// pseudo-random bytes.
// Thread-safety: plain functions over the file system, any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace SampleClient {

// Writes about `totalBytes` in `fileCount` files (at least 6) below `dir` and
// returns their relative paths. The same arguments give the same tree.
std::vector<std::string> generate(const std::filesystem::path& dir, int64_t totalBytes,
                                  int fileCount, uint64_t seed = 1);

// Writes `size` pseudo-random bytes to `file`, creating its folder.
void writeFile(const std::filesystem::path& file, int64_t size, uint64_t seed);

// True when every regular file below `source` is under `copy` with the same
// bytes; otherwise false with the first difference described.
bool sameFiles(const std::filesystem::path& source, const std::filesystem::path& copy,
               std::string* difference = nullptr);

}  // namespace SampleClient
