// qh-soak [--seeds N] [--first S] [--files N]
// The fault campaign over many seeds; prints one line per seed on stderr and
// the summary last on stdout. Exits 1 when any seed did not survive.
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "campaign.h"
#include "support/temp_dir.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int seeds = 200, files = 2000;
  uint64_t first = 1000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--seeds")) seeds = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--first")) first = std::strtoull(argv[i + 1], nullptr, 10);
    if (!std::strcmp(argv[i], "--files")) files = std::atoi(argv[i + 1]);
  }
  TempDir work;
  const Campaign::Published published =
      Campaign::publishSample(work.path(), files, 8 * 1024 * 1024, QH_PUBLISH);
  Campaign::Options options;
  options.driver = QH_FAULT_DRIVER;
  std::vector<Campaign::SeedReport> reports;
  bool ok = true;
  for (int i = 0; i < seeds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    reports.push_back(Campaign::runSeed(published, work.path(), first + i, options));
    const Campaign::SeedReport& r = reports.back();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "seed %llu: %d faults (%d kills), %d runs, %s, %.1f s\n",
                 static_cast<unsigned long long>(r.seed), r.faults(), r.kills, r.runs,
                 r.survived ? "survived" : "FAILED", seconds);
    for (const std::string& p : r.problems) std::fprintf(stderr, "  %s\n", p.c_str());
    ok = ok && r.survived;
  }
  std::printf("seeds: %d\n%s\n", seeds, Campaign::summary(reports).c_str());
  return ok ? 0 : 1;
}
