#include "update/block_scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "net/net_error.h"
#include "platform/system_error.h"
#include "platform/unique_fd.h"
#include "update/block_checksum.h"

namespace qh::BlockScan {

namespace {

// Bytes read at a time: large enough that refills are rare, small enough to stay cheap.
constexpr size_t readSize = 8 * 1024 * 1024;

// The map's full-sized blocks by weak checksum, behind a bit filter that
// rejects almost every offset with one load from a table that fits a core's cache.
class Index {
 public:
  explicit Index(const BlockMap& map) : filter_(filterBits / 64, 0) {
    for (size_t i = 0; i < map.blocks.size(); ++i) {
      if (map.blockLength(i) != map.blockSize) continue;
      entries_.push_back({map.blocks[i].weak, static_cast<uint32_t>(i)});
      const uint32_t bit = slot(map.blocks[i].weak);
      filter_[bit / 64] |= uint64_t{1} << (bit % 64);
    }
    std::sort(entries_.begin(), entries_.end());
  }
  bool mayHold(uint32_t weak) const {
    const uint32_t bit = slot(weak);
    return (filter_[bit / 64] >> (bit % 64)) & 1;
  }
  // The blocks whose weak checksum is `weak`.
  using Entry = std::pair<uint32_t, uint32_t>;
  std::pair<const Entry*, const Entry*> with(uint32_t weak) const {
    const Entry* first =
        std::lower_bound(entries_.data(), entries_.data() + entries_.size(), Entry{weak, 0u});
    const Entry* last = first;
    while (last != entries_.data() + entries_.size() && last->first == weak) ++last;
    return {first, last};
  }

 private:
  static constexpr uint32_t filterBits = 1u << 20;
  static uint32_t slot(uint32_t weak) { return (weak * 0x9E3779B1u) >> 12; }

  std::vector<uint64_t> filter_;
  std::vector<std::pair<uint32_t, uint32_t>> entries_;
};

class Scanner {
 public:
  Scanner(const BlockMap& map, const std::filesystem::path& file, const std::atomic<bool>& cancel)
      : map_(map),
        file_(file),
        cancel_(cancel),
        fd_(::open(file.c_str(), O_RDONLY | O_CLOEXEC)),
        index_(map),
        found_(map.blocks.size(), -1) {
    if (!fd_) throw systemError("open", file, lastSystemError());
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) throw systemError("stat", file, lastSystemError());
    size_ = st.st_size;
  }

  std::vector<int64_t> run() {
    scanFullBlocks();
    findShortLastBlock();
    return std::move(found_);
  }

 private:
  void scanFullBlocks() {
    const size_t block = map_.blockSize;
    buffer_.resize(readSize + block);
    int64_t pos = 0;
    while (pos + static_cast<int64_t>(block) <= size_) {
      if (!fill(pos, block + 1) && end_ - pos < static_cast<int64_t>(block)) return;
      const unsigned char* data = buffer_.data() + (pos - start_);
      // Most of an old file is the new one's blocks in the new one's order:
      // the block after the last one found is tried first, by its strong
      // hash alone, which spares the rolling sum over its every byte.
      if (next_ < map_.blocks.size() && map_.blockLength(next_) == map_.blockSize &&
          record(map_.blocks[next_].weak, data, pos)) {
        pos += static_cast<int64_t>(block);
        continue;
      }
      // The last offset whose window and following byte are in the buffer.
      const int64_t last =
          std::min(end_ - static_cast<int64_t>(block) - 1, size_ - static_cast<int64_t>(block));
      BlockChecksum::Rolling rolling(data, block);
      for (;;) {
        if (index_.mayHold(rolling.value()) && record(rolling.value(), data, pos)) {
          pos += static_cast<int64_t>(block);
          break;
        }
        if (pos >= last) {
          ++pos;
          if (pos > size_ - static_cast<int64_t>(block)) return;
          break;
        }
        rolling.roll(data[0], data[block]);
        ++data;
        ++pos;
      }
    }
  }

  // Whether the window at `pos`, of weak checksum `weak`, is one of the
  // map's blocks; records every block with those bytes.
  bool record(uint32_t weak, const unsigned char* data, int64_t pos) {
    const auto [first, last] = index_.with(weak);
    if (first == last) return false;
    const uint64_t strong = BlockChecksum::strong(data, map_.blockSize);
    bool found = false;
    size_t after = 0;
    for (auto* e = first; e != last; ++e) {
      if (map_.blocks[e->second].strong != strong) continue;
      if (found_[e->second] < 0) found_[e->second] = pos;
      // Where the new file repeats a block, the run being followed is likelier.
      if (!found || e->second == next_) after = e->second + 1;
      found = true;
    }
    if (found) next_ = after;
    return found;
  }

  // The rolling window is a whole block, so a short last block is looked for
  // where it most likely is: after the block before it, at the old file's
  // end, and at its own offset.
  void findShortLastBlock() {
    if (map_.blocks.empty()) return;
    const size_t i = map_.blocks.size() - 1;
    const int64_t length = map_.blockLength(i);
    if (length == map_.blockSize || found_[i] >= 0) return;
    const int64_t afterPrevious = i > 0 && found_[i - 1] >= 0 ? found_[i - 1] + map_.blockSize : -1;
    std::vector<unsigned char> bytes(static_cast<size_t>(length));
    for (const int64_t at : {afterPrevious, size_ - length, map_.blockStart(i)}) {
      if (at < 0 || at + length > size_) continue;
      if (::pread(fd_.get(), bytes.data(), bytes.size(), at) != length) continue;
      if (BlockChecksum::weak(bytes.data(), bytes.size()) == map_.blocks[i].weak &&
          BlockChecksum::strong(bytes.data(), bytes.size()) == map_.blocks[i].strong) {
        found_[i] = at;
        return;
      }
    }
  }

  // Makes the buffer hold [pos, pos + want) where the file allows; false at
  // the file's end (or where it ends now, if it shrank).
  bool fill(int64_t pos, size_t want) {
    if (pos >= start_ && end_ - pos >= static_cast<int64_t>(want)) return true;
    if (cancel_.load()) throw TransportError("Download cancelled");
    const size_t keep = pos < end_ && pos >= start_ ? static_cast<size_t>(end_ - pos) : 0;
    if (keep > 0) std::memmove(buffer_.data(), buffer_.data() + (pos - start_), keep);
    start_ = pos;
    end_ = pos + static_cast<int64_t>(keep);
    while (end_ - start_ < static_cast<int64_t>(buffer_.size()) && end_ < size_) {
      const size_t room = buffer_.size() - static_cast<size_t>(end_ - start_);
      const ssize_t n = ::pread(fd_.get(), buffer_.data() + (end_ - start_), room, end_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw systemError("read", file_, lastSystemError());
      if (n == 0) {
        size_ = end_;  // shrank while being read
        break;
      }
      end_ += n;
    }
    return end_ - pos >= static_cast<int64_t>(want);
  }

  const BlockMap& map_;
  const std::filesystem::path& file_;
  const std::atomic<bool>& cancel_;
  UniqueFd fd_;
  Index index_;
  std::vector<int64_t> found_;
  // The block likeliest to come next in the old file.
  size_t next_ = SIZE_MAX;
  int64_t size_ = 0;
  std::vector<unsigned char> buffer_;
  int64_t start_ = 0, end_ = 0;
};

}  // namespace

std::vector<int64_t> find(const BlockMap& map, const std::filesystem::path& oldFile,
                          const std::atomic<bool>& cancel) {
  return Scanner(map, oldFile, cancel).run();
}

}  // namespace qh::BlockScan
