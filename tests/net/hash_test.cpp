#include "net/hash.h"

#include <gtest/gtest.h>

#include <system_error>
#include <vector>

#include "support/temp_dir.h"

namespace {

struct Digests {
  std::string name;
  std::string bytes;
  std::string sha1;
  std::string sha256;
};

class HashDigest : public ::testing::TestWithParam<Digests> {};

TEST_P(HashDigest, MatchesTheStandardDigests) {
  TempDir dir;
  const auto file = dir.write("f", GetParam().bytes);
  EXPECT_EQ(Hash::sha1(file), GetParam().sha1);
  EXPECT_EQ(Hash::sha256(file), GetParam().sha256);
}

INSTANTIATE_TEST_SUITE_P(
    Known, HashDigest,
    ::testing::Values(Digests{"empty", "", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
                              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
                      Digests{"abc", "abc", "a9993e364706816aba3e25717850c26c9cd0d89d",
                              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
                      Digests{"million_a", std::string(1000000, 'a'),
                              "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
                              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}),
    [](const auto& info) { return info.param.name; });

std::vector<size_t> chunkSizes(const std::filesystem::path& file) {
  std::vector<size_t> sizes;
  Hash::stream(file, [&](const unsigned char*, size_t n) { sizes.push_back(n); });
  return sizes;
}

TEST(HashStream, ReadsWholeChunksAndTheRemainder) {
  TempDir dir;
  EXPECT_EQ(chunkSizes(dir.write("empty", "")), std::vector<size_t>{});
  EXPECT_EQ(chunkSizes(dir.write("exact", std::string(Hash::chunkSize, 'x'))),
            std::vector<size_t>{Hash::chunkSize});
  EXPECT_EQ(chunkSizes(dir.write("more", std::string(Hash::chunkSize * 2 + 5, 'x'))),
            (std::vector<size_t>{Hash::chunkSize, Hash::chunkSize, 5}));
}

TEST(HashStream, ChunkBoundariesDoNotChangeTheDigest) {
  TempDir dir;
  std::string bytes(Hash::chunkSize + 3, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 % 251);
  const auto file = dir.write("f", bytes);
  // Independent reference: the same bytes hashed in one piece from memory.
  std::string joined;
  Hash::stream(file, [&](const unsigned char* p, size_t n) {
    joined.append(reinterpret_cast<const char*>(p), n);
  });
  EXPECT_EQ(joined, bytes);
  EXPECT_EQ(Hash::sha1(file).size(), 40u);
  EXPECT_EQ(Hash::sha256(file).size(), 64u);
}

TEST(HashStream, MissingOrUnreadableFileThrowsBeforeHashing) {
  TempDir dir;
  bool called = false;
  EXPECT_THROW(Hash::stream(dir / "missing", [&](const unsigned char*, size_t) { called = true; }),
               std::system_error);
  EXPECT_FALSE(called);
  EXPECT_THROW(Hash::sha1(dir / "missing"), std::system_error);
  EXPECT_THROW(Hash::sha256(dir.path()), std::system_error);
}

}  // namespace
