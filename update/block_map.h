// The block map a server publishes beside a large file ("<file>.qhblocks"):
// the file's size and SHA-1, a block size, and for every block a weak rolling
// checksum and a strong 64-bit hash, so that a client can find the blocks it
// already holds at any offset of its old copy. docs/delta.md describes the
// bytes; the map carries no signature: the manifest's SHA-1 of the whole file
// decides at the end.
//
//   BlockMap map = BlockMap::parse(bytes, entry.size, entry.sha1);  // throws Error
//   std::string bytes = BlockMap::serialize(BlockMap::build(file));
//
// Thread-safety: plain values and pure functions; build() blocks on reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qh {

struct BlockMap {
  struct Block {
    uint32_t weak = 0;
    uint64_t strong = 0;
    bool operator==(const Block&) const = default;
  };

  int64_t fileSize = 0;
  std::string sha1;  // 40 lower-case hex characters
  uint32_t blockSize = 0;
  std::vector<Block> blocks;

  bool operator==(const BlockMap&) const = default;

  // Files smaller than this get no map, and are never updated by delta.
  static constexpr int64_t minFileSize = 16 * 1024 * 1024;
  // No map of a sane file comes near this; a longer answer is refused unread.
  static constexpr int64_t maxBytes = 16 * 1024 * 1024;
  static constexpr std::string_view suffix = ".qhblocks";

  // The first byte and length of block `index`; the last one may be short.
  int64_t blockStart(size_t index) const { return static_cast<int64_t>(index) * blockSize; }
  int64_t blockLength(size_t index) const;

  // 64 KiB, doubled while the file would have more than 32768 blocks, at most 1 MiB.
  static uint32_t blockSizeFor(int64_t fileSize);

  // The map of `file` as it is now. Throws std::system_error when it cannot
  // be read, Error when it changes size while being read.
  static BlockMap build(const std::filesystem::path& file);

  // The map's bytes, and back. parse() throws Error (its text for the log)
  // for bytes that are not a whole, consistent map; with `wantSize` >= 0 and
  // `wantSha1` non-empty, also for a map of any other file.
  static std::string serialize(const BlockMap& map);
  static BlockMap parse(std::string_view bytes, int64_t wantSize = -1,
                        std::string_view wantSha1 = {});
};

}  // namespace qh
