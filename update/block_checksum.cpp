#include "update/block_checksum.h"

#include <cstring>

namespace qh::BlockChecksum {

namespace {

constexpr uint64_t p1 = 0x9E3779B185EBCA87ULL;
constexpr uint64_t p2 = 0xC2B2AE3D27D4EB4FULL;
constexpr uint64_t p3 = 0x165667B19E3779F9ULL;
constexpr uint64_t p4 = 0x85EBCA77C2B2AE63ULL;
constexpr uint64_t p5 = 0x27D4EB2F165667C5ULL;

uint64_t rotl(uint64_t x, int r) {
  return (x << r) | (x >> (64 - r));
}

// Little-endian reads, so a map means the same on every machine.
uint64_t read64(const unsigned char* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
uint32_t read32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint64_t round(uint64_t acc, uint64_t input) {
  return rotl(acc + input * p2, 31) * p1;
}
uint64_t merge(uint64_t acc, uint64_t lane) {
  return (acc ^ round(0, lane)) * p1 + p4;
}

}  // namespace

uint64_t strong(const unsigned char* data, size_t size) {
  const unsigned char* p = data;
  const unsigned char* const end = data + size;
  uint64_t h;
  if (size >= 32) {
    uint64_t v1 = p1 + p2, v2 = p2, v3 = 0, v4 = 0 - p1;
    for (; p + 32 <= end; p += 32) {
      v1 = round(v1, read64(p));
      v2 = round(v2, read64(p + 8));
      v3 = round(v3, read64(p + 16));
      v4 = round(v4, read64(p + 24));
    }
    h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
    h = merge(merge(merge(merge(h, v1), v2), v3), v4);
  } else {
    h = p5;
  }
  h += size;
  for (; p + 8 <= end; p += 8) h = rotl(h ^ round(0, read64(p)), 27) * p1 + p4;
  if (p + 4 <= end) {
    h = rotl(h ^ (read32(p) * p1), 23) * p2 + p3;
    p += 4;
  }
  for (; p < end; ++p) h = rotl(h ^ (*p * p5), 11) * p1;
  h ^= h >> 33;
  h *= p2;
  h ^= h >> 29;
  h *= p3;
  h ^= h >> 32;
  return h;
}

}  // namespace qh::BlockChecksum
