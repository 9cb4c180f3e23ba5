// Forced verification of a 2 GiB tree of mixed file sizes (1 KiB to 512 MiB)
// against sha1sum over the same files, page cache warm for both.
// Prints "ratio: <our throughput / sha1sum's>" last; higher is better.
#include <cstdio>

#include "bench/common/bench_support.h"
#include "bench/common/mixed_tree.h"
#include "net/hash.h"
#include "update/compare.h"

using namespace qh;

int main() {
  bench::Scratch scratch;
  const auto root = scratch.path() / "client";
  std::vector<ManifestEntry> entries;
  std::vector<std::string> sha1sum = {"/usr/bin/sha1sum"};
  int64_t total = 0;
  const std::vector<bench::TreeFile> files = bench::writeMixedTree(root);
  for (const bench::TreeFile& f : files) {
    entries.push_back({Hash::sha1(root / f.rel), f.size, f.rel});
    sha1sum.push_back((root / f.rel).string());
    total += f.size;
  }
  std::sort(entries.begin(), entries.end(),
            [](const ManifestEntry& a, const ManifestEntry& b) { return a.rel < b.rel; });
  int rc = 0;
  const double reference = bench::best(2, [&] { rc = bench::run(sha1sum); });
  size_t needed = 1;
  const double ours = bench::best(2, [&] {
    needed = Compare::neededEntries(entries, {}, root, true,
                                    [](const std::string&, std::optional<double>) {})
                 .size();
  });
  if (needed != 0 || rc != 0) {
    std::fprintf(stderr, "bench-verify: unexpected result (needed %zu, sha1sum %d)\n", needed, rc);
    return 1;
  }
  const double gb = static_cast<double>(total) / 1e9;
  std::printf("files: %zu, %.2f GB\nverify: %.2f GB/s\nsha1sum: %.2f GB/s\n", files.size(), gb,
              gb / ours, gb / reference);
  std::printf("ratio: %.2f\n", reference / ours);
  return 0;
}
