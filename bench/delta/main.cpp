// A delta update of a 1 GiB file of compressible and incompressible regions,
// build 2 being build 1 with a 10 MiB insertion near its start, 50 scattered
// 64 KiB overwrites and 20 MiB cut from its end, served by a private nginx
// on 127.0.0.1 that sends each answer at a line's speed (--rate BYTES per
// second, 4 MiB/s by default: a 32 Mbit/s line), to the launcher and to curl
// alike. Prints the network bytes per changed byte, the update's time against
// curl fetching just as many bytes as changed, and the block map's share of
// the file. Last line: "ratio: X", the update's time divided by curl's.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/common/bench_support.h"
#include "core/files.h"
#include "update/block_map.h"
#include "update/block_scan.h"
#include "update/delta_update.h"

namespace qh {

namespace {

namespace fs = std::filesystem;

constexpr int64_t mib = 1024 * 1024;
constexpr int64_t build1Size = 1024 * mib;
constexpr int64_t insertAt = 5 * mib, inserted = 10 * mib;
constexpr int overwrites = 50;
constexpr int64_t overwriteSize = 64 * 1024;
constexpr int64_t cut = 20 * mib;
constexpr int64_t changedBytes = inserted + overwrites * overwriteSize;

uint64_t next(uint64_t& x) {
  x ^= x << 13, x ^= x >> 7, x ^= x << 17;
  return x;
}

// 1 MiB of build 1: 16 MiB runs of text-like bytes (repeated words with a
// counter, as game data tables) alternating with random ones.
std::string chunk(int64_t index) {
  std::string out;
  out.reserve(mib);
  uint64_t x = 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(index) * 0x2545F4914F6CDD1Dull;
  if ((index / 16) % 2 == 0) {
    static const char* const words[] = {"spell", "item", "creature", "quest", "zone", "faction"};
    while (static_cast<int64_t>(out.size()) < mib) {
      out += words[next(x) % 6];
      out += "_" + std::to_string(next(x) % 1000) + ";";
    }
  } else {
    while (static_cast<int64_t>(out.size()) < mib) {
      const uint64_t v = next(x);
      out.append(reinterpret_cast<const char*>(&v), 8);
    }
  }
  out.resize(mib);
  return out;
}

std::string randomBytes(int64_t size, uint64_t seed) {
  std::string out;
  uint64_t x = seed;
  while (static_cast<int64_t>(out.size()) < size) {
    const uint64_t v = next(x);
    out.append(reinterpret_cast<const char*>(&v), 8);
  }
  out.resize(size);
  return out;
}

void makeBuilds(const fs::path& one, const fs::path& two) {
  fs::create_directories(one.parent_path());
  fs::create_directories(two.parent_path());
  std::ofstream a(one, std::ios::binary), b(two, std::ios::binary);
  for (int64_t i = 0; i < build1Size / mib; ++i) {
    const std::string c = chunk(i);
    a.write(c.data(), mib);
    if (i * mib == insertAt) {
      const std::string in = randomBytes(inserted, 42);
      b.write(in.data(), inserted);
    }
    if ((i + 1) * mib <= build1Size - cut) b.write(c.data(), mib);
  }
  b.close();
  // Scattered over the rest, at offsets aligned to nothing in particular.
  std::fstream over(two, std::ios::binary | std::ios::in | std::ios::out);
  const int64_t size2 = build1Size + inserted - cut;
  for (int k = 0; k < overwrites; ++k) {
    const int64_t at = insertAt + inserted + mib + k * ((size2 - 40 * mib) / overwrites) + k * 4099;
    const std::string bytes = randomBytes(overwriteSize, 1000 + k);
    over.seekp(at);
    over.write(bytes.data(), overwriteSize);
  }
  if (!a || !over) throw std::runtime_error("cannot write the builds");
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  bench::Scratch scratch;
  bench::isolateHome(scratch.path() / "home");
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Bench");
  const int64_t rate =
      argc == 3 && std::string(argv[1]) == "--rate" ? std::strtoll(argv[2], nullptr, 10) : 4 * mib;
  const fs::path www = scratch.path() / "www";
  const fs::path build1 = scratch.path() / "build1.bin", build2 = www / "big.MPQ";
  makeBuilds(build1, build2);
  const BlockMap map = BlockMap::build(build2);
  const std::string mapBytes = BlockMap::serialize(map);
  Files::writeAtomic(www / "big.MPQ.qhblocks", mapBytes);
  bench::warm(build1);
  bench::warm(build2);
  bench::Nginx nginx(www, scratch.path() / "nginx", std::nullopt, rate);

  const fs::path target = scratch.path() / "client/big.MPQ";
  fs::create_directories(target.parent_path());
  std::atomic<bool> never = false;
  const double scan = bench::seconds([&] { BlockScan::find(map, build1, never); });

  const std::string range = "0-" + std::to_string(changedBytes - 1);
  DeltaUpdate::Result result;
  double ours = 1e300, theirs = 1e300;
  for (int run = 0; run < 3; ++run) {
    theirs = std::min(theirs, bench::seconds([&] {
                        if (bench::run({"/usr/bin/curl", "-s", "-f", "-r", range, "-o", "/dev/null",
                                        nginx.url("/big.MPQ")}) != 0) {
                          throw std::runtime_error("curl failed");
                        }
                      }));
    fs::copy_file(build1, target, fs::copy_options::overwrite_existing);
    bench::warm(target);
    ours = std::min(ours, bench::seconds([&] {
                      result = DeltaUpdate::apply({.fileUrl = nginx.url("/big.MPQ"),
                                                   .mapUrl = nginx.url("/big.MPQ.qhblocks"),
                                                   .target = target,
                                                   .expectedSize = map.fileSize,
                                                   .sha1 = map.sha1});
                    }));
  }

  const double bytesRatio = static_cast<double>(result.fetched) / changedBytes;
  const double mapShare = 100.0 * static_cast<double>(mapBytes.size()) / map.fileSize;
  std::printf("changed bytes          %lld\n", static_cast<long long>(changedBytes));
  std::printf("fetched bytes          %lld in %d ranges (map included), reused %lld\n",
              static_cast<long long>(result.fetched), result.ranges,
              static_cast<long long>(result.reused));
  std::printf("line                   %.2f MiB/s, both sides\n", rate / double(mib));
  std::printf("scan of the old file   %.2f s (%.0f MB/s)\n", scan, build1Size / scan / 1e6);
  std::printf("curl, changed bytes    %.2f s\n", theirs);
  std::printf("delta update           %.2f s\n", ours);
  std::printf("map share              %.3f %% (target <= 0.5)\n", mapShare);
  std::printf("bytes ratio            %.3f (target <= 1.5)\n", bytesRatio);
  std::printf("time ratio             %.3f (target <= 1.5)\n", ours / theirs);
  std::printf("ratio: %.3f\n", ours / theirs);
  return 0;
}
