// Forced verification of a 2 GiB tree of mixed file sizes (1 KiB to 512 MiB)
// against sha1sum over the same files, page cache warm for both.
// Prints "ratio: <our throughput / sha1sum's>" last; higher is better.
#include <cstdio>

#include "bench/support/bench.h"
#include "net/hash.h"
#include "tools/sample/sample_client.h"
#include "update/compare.h"

int main() {
  constexpr int64_t KiB = 1024, MiB = 1024 * KiB;
  std::vector<int64_t> sizes = {512 * MiB, 256 * MiB, 256 * MiB, 128 * MiB, 128 * MiB, 128 * MiB,
                                128 * MiB, 64 * MiB,  64 * MiB,  64 * MiB,  64 * MiB};
  for (int i = 0; i < 8; ++i) sizes.push_back(16 * MiB);
  for (int i = 0; i < 100; ++i) sizes.push_back(MiB);
  for (int i = 0; i < 400; ++i) sizes.push_back(64 * KiB);
  for (int i = 0; i < 3000; ++i) sizes.push_back(KiB);
  bench::Scratch scratch;
  const auto root = scratch.path() / "client";
  std::vector<ManifestEntry> entries;
  std::vector<std::string> sha1sum = {"/usr/bin/sha1sum"};
  int64_t total = 0;
  for (size_t i = 0; i < sizes.size(); ++i) {
    // Interleaved names, so large and small files mix in manifest order.
    const std::string rel = "Data/f" + std::to_string((i * 7919) % sizes.size());
    SampleClient::writeFile(root / rel, sizes[i], i + 1);
    entries.push_back({Hash::sha1(root / rel), sizes[i], rel});
    sha1sum.push_back((root / rel).string());
    total += sizes[i];
  }
  std::sort(entries.begin(), entries.end(),
            [](const ManifestEntry& a, const ManifestEntry& b) { return a.rel < b.rel; });
  int rc = 0;
  const double reference = bench::best(2, [&] { rc = bench::run(sha1sum); });
  size_t needed = 1;
  const double ours = bench::best(2, [&] {
    needed = Compare::neededEntries(entries, {}, root, true, [](const std::string&) {}).size();
  });
  if (needed != 0 || rc != 0) {
    std::fprintf(stderr, "bench-verify: unexpected result (needed %zu, sha1sum %d)\n", needed, rc);
    return 1;
  }
  const double gb = static_cast<double>(total) / 1e9;
  std::printf("files: %zu, %.2f GB\nverify: %.2f GB/s\nsha1sum: %.2f GB/s\n", sizes.size(), gb,
              gb / ours, gb / reference);
  std::printf("ratio: %.2f\n", reference / ours);
  return 0;
}
