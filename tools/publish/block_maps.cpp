#include "tools/publish/block_maps.h"

#include <set>

#include "core/error.h"
#include "core/files.h"
#include "platform/system_error.h"
#include "update/block_map.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

fs::path mapFile(const fs::path& outDir, const std::string& rel) {
  return outDir / (rel + std::string(BlockMap::suffix));
}

}  // namespace

void checkBlockMapNames(const std::vector<PublishedFile>& files) {
  std::set<std::string> names;
  for (const PublishedFile& f : files) names.insert(f.rel);
  for (const PublishedFile& f : files) {
    const std::string map = f.rel + std::string(BlockMap::suffix);
    if (f.size >= BlockMap::minFileSize && names.count(map)) {
      throw Error("cannot publish \"" + map + "\": the block map of \"" + f.rel +
                  "\" has that name");
    }
  }
}

void writeBlockMaps(const std::vector<PublishedFile>& files, const fs::path& outDir) {
  for (const PublishedFile& f : files) {
    const fs::path to = mapFile(outDir, f.rel);
    if (f.size < BlockMap::minFileSize) {
      std::error_code ec;
      if (fs::is_regular_file(fs::symlink_status(to, ec))) fs::remove(to, ec);
      continue;
    }
    const BlockMap map = BlockMap::build(outDir / f.rel);
    if (map.sha1 != f.sha1 || map.fileSize != f.size) {
      throw Error(f.rel + ": changed while being published");
    }
    if (const std::error_code ec = Files::writeAtomic(to, BlockMap::serialize(map))) {
      throw systemError("cannot write", to, ec);
    }
  }
}

}  // namespace qh
