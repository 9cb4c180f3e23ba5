// The integrity report over a 100,000-file client against `find` listing the
// sizes of the same tree: both stat every file once, so the ratio shows what
// parsing the manifest and writing the report add. The report must stay
// under half a second.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/common/bench_support.h"
#include "update/integrity_report.h"
#include "update/markers.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 100000;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A client-like tree: 1,000 folders of 100 files, sizes 0 to 99 bytes.
std::string makeTree(const fs::path& root) {
  std::string manifest;
  manifest.reserve(kFiles * 72);
  const std::string zeros(100, 'x');
  for (int d = 0; d < kFiles / 100; ++d) {
    const std::string folder = "Data/part" + std::to_string(d);
    fs::create_directories(root / folder);
    for (int f = 0; f < 100; ++f) {
      const std::string rel = folder + "/file" + std::to_string(f) + ".bin";
      std::ofstream(root / rel, std::ios::binary).write(zeros.data(), f);
      manifest +=
          "0123456789abcdef0123456789abcdef01234567\t" + std::to_string(f) + "\t" + rel + "\n";
    }
  }
  return manifest;
}

double timeFind(const fs::path& root) {
  return bench::seconds([&] {
    bench::run({"/usr/bin/find", root.string(), "-type", "f", "-printf", "%s\n"});
  });
}

double timeReport(const fs::path& root) {
  const auto start = std::chrono::steady_clock::now();
  if (!IntegrityReport::write(root)) {
    std::fprintf(stderr, "report failed\n");
    std::exit(1);
  }
  return seconds(start);
}

}  // namespace

}  // namespace qh

using namespace qh;

int main() {
  char tmpl[] = "/tmp/qh-bench-integrity-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const fs::path root = tmpl;
  if (!Markers::write(root, "1.0", makeTree(root))) return 1;
  // Warm the caches once for both, then take the best of five each.
  timeFind(root);
  timeReport(root);
  double ours = 1e9;
  double find = 1e9;
  for (int i = 0; i < 5; ++i) {
    find = std::min(find, timeFind(root));
    ours = std::min(ours, timeReport(root));
  }
  std::error_code ec;
  fs::remove_all(root, ec);
  std::printf("files: %d\nreport: %.3f s (%s the 0.5 s limit)\nfind: %.3f s\n", kFiles, ours,
              ours < 0.5 ? "within" : "over", find);
  std::printf("ratio: %.2f\n", ours / find);
  return 0;
}
