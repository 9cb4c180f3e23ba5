// SHA-1 and SHA-256 of a 1 GiB file, ours against `openssl dgst` on the same
// file in the same run, both reading from the page cache.
// Last line: "ratio: X", our throughput divided by openssl's.
#include <cstdio>
#include <string>

#include "bench/common/bench_support.h"
#include "net/hash.h"

namespace qh {

namespace {

constexpr uint64_t fileSize = uint64_t{1} << 30;

// Seconds for `openssl dgst -<algorithm>`, checking it agrees with `expected`.
double openssl(const std::string& algorithm, const std::string& file, const std::string& expected) {
  const double start = bench::now();
  const bench::Output out = bench::capture({"/usr/bin/openssl", "dgst", "-" + algorithm, file});
  const double seconds = bench::now() - start;
  if (out.status != 0 || out.text.find(expected) == std::string::npos) {
    std::fprintf(stderr, "openssl %s disagrees: %s\n", algorithm.c_str(), out.text.c_str());
    std::exit(1);
  }
  return seconds;
}

}  // namespace

}  // namespace qh

using namespace qh;

int main() {
  bench::Scratch scratch;
  const auto file = scratch.path() / "data.bin";
  bench::writeFile(file, fileSize);
  bench::warm(file);

  double ours = 0, theirs = 0;
  for (const std::string algorithm : {"sha1", "sha256"}) {
    const double start = bench::now();
    const std::string digest = algorithm == "sha1" ? Hash::sha1(file) : Hash::sha256(file);
    const double mine = bench::now() - start;
    const double other = openssl(algorithm, file.string(), digest);
    std::printf("%-6s  ours %.2f GB/s   openssl dgst %.2f GB/s\n", algorithm.c_str(),
                fileSize / mine / 1e9, fileSize / other / 1e9);
    ours += mine;
    theirs += other;
  }
  std::printf("peak RSS: %.1f MiB\n", bench::peakRssMiB());
  std::printf("ratio: %.3f\n", theirs / ours);
  return 0;
}
