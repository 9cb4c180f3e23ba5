#include "net/hash.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qh {

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
                      // Many whole chunks and a remainder.
                      Digests{"chunks", std::string(16 * 1024 * 1024 + 5, 'x'),
                              "ed3007dcca0488c69e9badf3e547fe02533eef35",
                              "c4d13806acc56806fcb1a84ebb1737df394a4d6a07b28789c7b932f2073013b1"}),
    [](const auto& info) { return info.param.name; });

}  // namespace

}  // namespace qh
