#include "net/trailing_digests.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/hash.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

std::string reference(const std::string& bytes, Hash::Algorithm algorithm) {
  Hash::Digest d(algorithm);
  d.update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return d.hex();
}

// Bytes split any way, below and past the size hashed on the caller's
// thread, after a file's bytes or not: the digests of the whole, as one
// thread computes them.
TEST(TrailingDigests, MatchOneThreadsDigestsOfTheSameBytes) {
  TempDir dir;
  const std::string bytes = randomBytes(3 * 1024 * 1024 + 17, 5);
  const std::string held = randomBytes(Hash::aloneUpTo + 5, 6);
  const auto heldFile = dir.write("held", held);
  struct Case {
    size_t total;
    size_t piece;
    bool prefix;
  };
  for (const Case c :
       {Case{Hash::aloneUpTo, 1000, false}, Case{Hash::aloneUpTo + 1, 1000, false},
        Case{bytes.size(), bytes.size(), false}, Case{bytes.size(), Hash::chunkSize, false},
        Case{bytes.size(), 16411, true}, Case{300000, 7, true}}) {
    const std::string whole = (c.prefix ? held : "") + bytes.substr(0, c.total);
    TrailingDigests digests({Hash::Algorithm::sha1, Hash::Algorithm::sha256});
    if (c.prefix) digests.prefix(heldFile);
    for (size_t at = 0; at < c.total; at += c.piece) {
      digests.update(reinterpret_cast<const unsigned char*>(bytes.data()) + at,
                     std::min(c.piece, c.total - at));
    }
    const std::vector<std::string> expected{reference(whole, Hash::Algorithm::sha1),
                                            reference(whole, Hash::Algorithm::sha256)};
    EXPECT_EQ(digests.hex(), expected) << c.total << " bytes in pieces of " << c.piece;
  }
}

// A transfer that fails with the hash behind leaves without waiting for it;
// a hasher left waiting for more would hold it for good.
TEST(TrailingDigests, GoWithoutHashingWhatIsQueued) {
  const std::string bytes = randomBytes(2 * 1024 * 1024, 8);
  TrailingDigests digests({Hash::Algorithm::sha256});
  digests.update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

}  // namespace

}  // namespace qh
