// SHA-1 and SHA-256 of a 1 GiB file from the page cache, ours against
// `openssl dgst` on the same file, and SHA-1 against `openssl speed -bytes
// 1048576 sha1`: what one core computes with no file to read, the limit a file
// digest can approach. Each side runs ROUNDS times, alternating; the best run
// counts. openssl speed counts its own CPU time, so beside the wall-clock
// figures ours is also given per CPU second, the figure that holds on a busy
// machine, and so is the hashing thread's alone. Last line: "ratio: X", our SHA-1 throughput
// divided by that limit.
//   bench-hash [ROUNDS]   (default 3)
#include <sys/resource.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/common/bench_support.h"
#include "net/hash.h"

namespace qh {

namespace {

constexpr uint64_t fileSize = uint64_t{1} << 30;

// CPU seconds of the calling thread alone: the one that hashes, while the
// file is read on another.
double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto s = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return s(usage.ru_utime) + s(usage.ru_stime);
}

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

// Bytes per second `openssl speed` reports for SHA-1 over blocks of 1 MiB.
double speedLimit() {
  const bench::Output out =
      bench::capture({"/usr/bin/openssl", "speed", "-seconds", "3", "-bytes", "1048576", "sha1"});
  // The table's last line: "sha1   1624014.05k", in thousands of bytes per second.
  const size_t at = out.text.rfind("sha1 ");
  if (out.status != 0 || at == std::string::npos) {
    std::fprintf(stderr, "openssl speed failed: %s\n", out.text.c_str());
    std::exit(1);
  }
  return std::atof(out.text.c_str() + at + 5) * 1000;
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  bench::Scratch scratch;
  const auto file = scratch.path() / "data.bin";
  bench::writeFile(file, fileSize);
  bench::warm(file);

  double sha1Wall = 1e300, sha1Cpu = 1e300, sha1Thread = 1e300;
  for (const std::string algorithm : {"sha1", "sha256"}) {
    double mine = 1e300, mineCpu = 1e300, mineThread = 1e300, other = 1e300;
    for (int round = 0; round < rounds; ++round) {
      const double start = bench::now(), startCpu = cpuSeconds(), startThread = threadCpuSeconds();
      const std::string digest = algorithm == "sha1" ? Hash::sha1(file) : Hash::sha256(file);
      mine = std::min(mine, bench::now() - start);
      mineCpu = std::min(mineCpu, cpuSeconds() - startCpu);
      mineThread = std::min(mineThread, threadCpuSeconds() - startThread);
      other = std::min(other, openssl(algorithm, file.string(), digest));
    }
    std::printf("%-6s  ours %.2f GB/s (%.2f GB/s per CPU second)   openssl dgst %.2f GB/s\n",
                algorithm.c_str(), fileSize / mine / 1e9, fileSize / mineCpu / 1e9,
                fileSize / other / 1e9);
    if (algorithm == "sha1") {
      sha1Wall = mine;
      sha1Cpu = mineCpu;
      sha1Thread = mineThread;
    }
  }
  const double limit = speedLimit();
  std::printf("openssl speed -bytes 1048576 sha1: %.2f GB/s\n", limit / 1e9);
  std::printf("peak RSS: %.1f MiB\n", bench::peakRssMiB());
  std::printf("sha1 per CPU second against the limit: %.3f\n", fileSize / sha1Cpu / limit);
  // What the wall-clock ratio comes to when the reading thread has a core of
  // its own, as on a quiet machine.
  std::printf("sha1 per CPU second of the hashing thread against the limit: %.3f\n",
              fileSize / sha1Thread / limit);
  std::printf("ratio: %.3f\n", fileSize / sha1Wall / limit);
  return 0;
}
