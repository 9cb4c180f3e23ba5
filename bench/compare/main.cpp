// Comparison without force of a 100,000-entry manifest against an install
// tree whose sizes all match, against `find -printf '%s'` over the same tree.
// Prints "ratio: <our time / find's time>" last; lower is better.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "bench/common/bench_support.h"
#include "update/compare.h"

using namespace qh;

int main() {
  constexpr int files = 100000;
  bench::Scratch scratch;
  const auto root = scratch.path() / "client";
  std::string manifest;
  for (int i = 0; i < files; ++i) {
    const std::string folder = "Data/dir" + std::to_string(i / 1000);
    const std::string rel = folder + "/file " + std::to_string(i);
    const int size = 1 + i % 3000;
    if (i % 1000 == 0) std::filesystem::create_directories(root / folder);
    // Only sizes are compared: sparse files of the right length will do.
    const int fd = ::open((root / rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, size) != 0) return 1;
    ::close(fd);
    manifest += "0123456789abcdef0123456789abcdef" + std::to_string(10000000 + i) + "\t" +
                std::to_string(size) + "\t" + rel + "\n";
  }
  const auto entries = Manifest::parse(manifest);
  size_t needed = 1;
  const double ours = bench::best(3, [&] {
    const auto known = Compare::knownChecksums(entries);
    needed = Compare::neededEntries(entries, known, root, false,
                                    [](const std::string&, std::optional<double>) {})
                 .size();
  });
  int rc = 0;
  const double find = bench::best(3, [&] {
    rc = bench::run({"/usr/bin/find", root.string(), "-type", "f", "-printf", "%s\n"});
  });
  if (needed != 0 || rc != 0) {
    std::fprintf(stderr, "bench-compare: unexpected result (needed %zu, find %d)\n", needed, rc);
    return 1;
  }
  std::printf("entries: %d\ncompare: %.3f s\nfind: %.3f s\n", files, ours, find);
  std::printf("ratio: %.2f\n", ours / find);
  return 0;
}
