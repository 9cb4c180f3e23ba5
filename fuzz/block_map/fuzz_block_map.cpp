// Checks that any bytes parse or are refused without a crash, that a map
// parsed is written back to exactly the same bytes, and that its blocks
// cover the file exactly, each one non-empty.
#include <cstdint>
#include <string_view>

#include "core/error.h"
#include "fuzz_support.h"
#include "update/block_map.h"

using namespace qh;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  BlockMap map;
  try {
    map = BlockMap::parse(bytes);
  } catch (const Error&) {
    return 0;
  }
  require(BlockMap::serialize(map) == bytes);
  require(map.sha1.size() == 40);
  int64_t covered = 0;
  for (size_t i = 0; i < map.blocks.size(); ++i) {
    require(map.blockStart(i) == covered);
    require(map.blockLength(i) > 0 && map.blockLength(i) <= map.blockSize);
    covered += map.blockLength(i);
  }
  require(covered == map.fileSize);
  // The same bytes, asked to describe another file, are refused.
  try {
    BlockMap::parse(bytes, map.fileSize + 1, map.sha1);
    require(false);
  } catch (const Error&) {
  }
  return 0;
}
