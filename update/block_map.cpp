#include "update/block_map.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/error.h"
#include "core/text.h"
#include "net/hash.h"
#include "platform/system_error.h"
#include "platform/unique_fd.h"
#include "update/block_checksum.h"

namespace qh {

namespace {

constexpr std::string_view magic = "QHBLOCK1";
constexpr size_t headerBytes = 8 + 8 + 20 + 4 + 4;
constexpr size_t blockBytes = 4 + 8;
constexpr uint32_t smallestBlock = 64 * 1024;
constexpr uint32_t largestBlock = 1024 * 1024;
constexpr int64_t mostBlocks = 32768;

void put(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t get(std::string_view in, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(in[at + i]);
  return v;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void refuse(const std::string& why) {
  throw Error("block map refused: " + why);
}

}  // namespace

int64_t BlockMap::blockLength(size_t index) const {
  return std::min<int64_t>(blockSize, fileSize - blockStart(index));
}

uint32_t BlockMap::blockSizeFor(int64_t fileSize) {
  uint32_t size = smallestBlock;
  while (size < largestBlock && (fileSize + size - 1) / size > mostBlocks) size *= 2;
  return size;
}

BlockMap BlockMap::build(const std::filesystem::path& file) {
  const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) throw systemError("open", file, lastSystemError());
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throw systemError("stat", file, lastSystemError());
  BlockMap map;
  map.fileSize = st.st_size;
  map.blockSize = blockSizeFor(map.fileSize);
  Hash::Digest sha1(Hash::Algorithm::sha1);
  std::vector<unsigned char> block(map.blockSize);
  for (int64_t at = 0; at < map.fileSize;) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(map.blockSize, map.fileSize - at));
    size_t got = 0;
    while (got < want) {
      const ssize_t n = ::pread(fd.get(), block.data() + got, want - got, at + got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw systemError("read", file, lastSystemError());
      if (n == 0) throw Error(file.string() + ": changed while being read");
      got += static_cast<size_t>(n);
    }
    map.blocks.push_back(
        {BlockChecksum::weak(block.data(), got), BlockChecksum::strong(block.data(), got)});
    sha1.update(block.data(), got);
    at += static_cast<int64_t>(got);
  }
  map.sha1 = sha1.hex();
  return map;
}

std::string BlockMap::serialize(const BlockMap& map) {
  std::string out(magic);
  out.reserve(headerBytes + map.blocks.size() * blockBytes);
  put(out, static_cast<uint64_t>(map.fileSize), 8);
  for (size_t i = 0; i + 1 < map.sha1.size() && i < 40; i += 2) {
    out += static_cast<char>(hexValue(map.sha1[i]) << 4 | hexValue(map.sha1[i + 1]));
  }
  put(out, map.blockSize, 4);
  put(out, map.blocks.size(), 4);
  for (const Block& b : map.blocks) {
    put(out, b.weak, 4);
    put(out, b.strong, 8);
  }
  return out;
}

BlockMap BlockMap::parse(std::string_view bytes, int64_t wantSize, std::string_view wantSha1) {
  if (bytes.size() < headerBytes || bytes.substr(0, magic.size()) != magic) {
    refuse("not a block map");
  }
  BlockMap map;
  const uint64_t size = get(bytes, 8, 8);
  if (size > static_cast<uint64_t>(INT64_MAX)) refuse("impossible file size");
  map.fileSize = static_cast<int64_t>(size);
  static const char digits[] = "0123456789abcdef";
  for (size_t i = 16; i < 36; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    map.sha1 += digits[c >> 4];
    map.sha1 += digits[c & 15];
  }
  map.blockSize = static_cast<uint32_t>(get(bytes, 36, 4));
  const uint64_t count = get(bytes, 40, 4);
  // Any power of two a publisher might pick; the client's memory is bounded by maxBytes.
  if (map.blockSize < 1024 || map.blockSize > 16 * 1024 * 1024 ||
      (map.blockSize & (map.blockSize - 1)) != 0) {
    refuse("block size " + std::to_string(map.blockSize));
  }
  const uint64_t expected = (size + map.blockSize - 1) / map.blockSize;
  if (count != expected) {
    refuse(std::to_string(count) + " blocks for " + std::to_string(size) + " bytes");
  }
  if (bytes.size() != headerBytes + count * blockBytes) {
    refuse(std::to_string(bytes.size()) + " bytes, not " +
           std::to_string(headerBytes + count * blockBytes));
  }
  if (wantSize >= 0 && (map.fileSize != wantSize || map.sha1 != Text::lower(wantSha1))) {
    refuse("it describes another file (" + map.sha1 + ", " + std::to_string(map.fileSize) +
           " bytes)");
  }
  map.blocks.resize(count);
  for (size_t i = 0, at = headerBytes; i < count; ++i, at += blockBytes) {
    map.blocks[i] = {static_cast<uint32_t>(get(bytes, at, 4)), get(bytes, at + 4, 8)};
  }
  return map;
}

}  // namespace qh
