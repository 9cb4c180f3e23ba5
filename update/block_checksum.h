// The two checksums of a block of a block map. The weak one rolls: the sum of
// a window moved on by one byte is worked out from the old sum, the byte that
// leaves and the one that enters, so a scan tries every offset of a file at
// the cost of a few additions each. The strong one confirms a weak match.
// Thread-safety: plain values and pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qh::BlockChecksum {

// Two 16-bit sums, as rsync's: `a`, the bytes' sum, and `b`, each byte
// weighted by its distance from the window's end. Their value is b << 16 | a.
class Rolling {
 public:
  // The checksum of data[0, size).
  Rolling(const unsigned char* data, size_t size) : size_(static_cast<uint32_t>(size)) {
    for (size_t i = 0; i < size; ++i) {
      a_ += data[i];
      b_ += static_cast<uint32_t>(size - i) * data[i];
    }
  }
  // The window loses `out` at its start and gains `in` at its end.
  void roll(unsigned char out, unsigned char in) {
    a_ += static_cast<uint32_t>(in) - out;
    b_ += a_ - size_ * out;
  }
  uint32_t value() const { return (b_ << 16) | (a_ & 0xFFFF); }

 private:
  uint32_t size_;
  uint32_t a_ = 0;
  uint32_t b_ = 0;
};

inline uint32_t weak(const unsigned char* data, size_t size) {
  return Rolling(data, size).value();
}

// A 64-bit hash of data[0, size) with four independent lanes (the xxHash64
// construction): several bytes a cycle, and no accidental collision among
// the blocks of any real file.
uint64_t strong(const unsigned char* data, size_t size);

}  // namespace qh::BlockChecksum
