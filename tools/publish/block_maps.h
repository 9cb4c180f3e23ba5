// The block maps qh-publish writes beside the large files it publishes, for
// launchers that update them by delta (docs/delta.md).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qh {

struct PublishedFile {
  std::string rel;
  int64_t size = 0;
  std::string sha1;
};

// Throws Error when a client file has the name another one's map would take.
void checkBlockMapNames(const std::vector<PublishedFile>& files);

// Writes "<rel>.qhblocks" in `outDir` for every file of at least
// BlockMap::minFileSize, from the copy published there, and removes the map
// an earlier publication left beside a smaller file. Throws Error (or a
// system error) when a copy cannot be read or no longer has its SHA-1.
void writeBlockMaps(const std::vector<PublishedFile>& files, const std::filesystem::path& outDir);

}  // namespace qh
