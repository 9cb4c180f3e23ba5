// qh-soak [--seeds N] [--first S] [--files N] [--jobs J]
// The fault campaign over many seeds; prints one line per seed on stderr and
// the summary last on stdout. Exits 1 when any seed did not survive.
//
// A seed spends most of its time waiting on stalls and time-outs, not on the
// processor, so J worker processes (forked after publishing, before any
// thread starts) each take every J-th seed and report back through a pipe.
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "campaign.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

void printSeed(const Campaign::SeedReport& r, double seconds) {
  std::fprintf(stderr, "seed %llu: %d faults (%d kills), %d runs, %d delta update(s), %s, %.1f s\n",
               static_cast<unsigned long long>(r.seed), r.faults(), r.kills, r.runs, r.deltas,
               r.survived ? "survived" : "FAILED", seconds);
  for (const std::string& p : r.problems) std::fprintf(stderr, "  %s\n", p.c_str());
}

Campaign::SeedReport runOne(const Campaign::Published& published, const std::filesystem::path& work,
                            uint64_t seed) {
  const auto start = std::chrono::steady_clock::now();
  Campaign::SeedReport r = Campaign::runSeed(published, work, seed, QH_FAULT_DRIVER);
  printSeed(r, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return r;
}

// One report as a line of numbers; the problems were printed by the worker.
std::string encode(const Campaign::SeedReport& r) {
  return std::to_string(r.seed) + " " + std::to_string(r.serverFaults) + " " +
         std::to_string(r.kills) + " " + std::to_string(r.runs) + " " +
         std::to_string(r.survived ? 1 : 0) + " " + std::to_string(r.corruptFiles) + " " +
         std::to_string(r.bytesSent) + " " + std::to_string(r.minimumBytes) + " " +
         std::to_string(r.deltas) + "\n";
}

bool decode(const char* line, Campaign::SeedReport& r) {
  unsigned long long seed = 0;
  long long sent = 0, minimum = 0;
  int survived = 0;
  if (std::sscanf(line, "%llu %d %d %d %d %d %lld %lld %d", &seed, &r.serverFaults, &r.kills,
                  &r.runs, &survived, &r.corruptFiles, &sent, &minimum, &r.deltas) != 9) {
    return false;
  }
  r.seed = seed;
  r.survived = survived != 0;
  r.bytesSent = sent;
  r.minimumBytes = minimum;
  return true;
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int seeds = 200, files = 2000, jobs = 1;
  uint64_t first = 1000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--seeds")) seeds = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--first")) first = std::strtoull(argv[i + 1], nullptr, 10);
    if (!std::strcmp(argv[i], "--files")) files = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--jobs")) jobs = std::max(1, std::atoi(argv[i + 1]));
  }
  TempDir work;
  const Campaign::Published published =
      Campaign::publishSample(work.path(), files, 8 * 1024 * 1024, QH_PUBLISH);
  std::vector<Campaign::SeedReport> reports;

  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return 2;
  std::vector<pid_t> workers;
  for (int job = 0; job < jobs; ++job) {
    const pid_t pid = ::fork();
    if (pid < 0) return 2;
    if (pid == 0) {
      ::close(pipeFds[0]);
      for (int i = job; i < seeds; i += jobs) {
        const std::string line = encode(runOne(published, work.path(), first + i));
        // Lines shorter than PIPE_BUF arrive whole, whatever the others write.
        [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], line.data(), line.size());
      }
      ::_exit(0);
    }
    workers.push_back(pid);
  }
  ::close(pipeFds[1]);
  FILE* in = ::fdopen(pipeFds[0], "r");
  char line[256];
  while (in && std::fgets(line, sizeof line, in)) {
    Campaign::SeedReport r;
    if (decode(line, r)) reports.push_back(r);
  }
  if (in) std::fclose(in);
  for (const pid_t pid : workers) ::waitpid(pid, nullptr, 0);

  bool ok = static_cast<int>(reports.size()) == seeds;
  for (const Campaign::SeedReport& r : reports) ok = ok && r.survived;
  int deltas = 0, deltaSeeds = 0;
  for (const Campaign::SeedReport& r : reports) {
    deltas += r.deltas;
    deltaSeeds += Campaign::updatesByDelta(r.seed) ? 1 : 0;
  }
  std::printf("seeds: %zu of %d (%d starting from an older large file; %d delta update(s))\n%s\n",
              reports.size(), seeds, deltaSeeds, deltas, Campaign::summary(reports).c_str());
  return ok ? 0 : 1;
}
