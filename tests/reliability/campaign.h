// The fault campaign: installs a published client through the real engine in
// a separate driver process while the server misbehaves at seeded points and
// the driver is killed with SIGKILL and started again, then checks that the
// install is byte-identical to what was published and nothing else changed.
// Thread-safety: one seed at a time per process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "update/manifest.h"

namespace qh::Campaign {

struct Published {
  std::filesystem::path dir;  // what the server serves
  std::string version;        // as in version.txt, trimmed
  std::string manifest;       // manifest.txt as served
  std::vector<ManifestEntry> entries;
  // A file large enough for a block map, and an older build of it that
  // differs by `largeChanged` bytes: seeds that update by delta start with
  // the older build in place, the others with the published one.
  std::string largeRel;
  std::filesystem::path largeOld;
  int64_t largeChanged = 0;
};

// Whether the seed starts with the large file's older build.
inline bool updatesByDelta(uint64_t seed) {
  return seed % 2 == 0;
}

// Generates a client of `files` files and about `bytes` bytes, plus the
// large file, below `work` and publishes it there with qh-publish. Throws std::runtime_error on
// failure.
Published publishSample(const std::filesystem::path& work, int files, int64_t bytes,
                        const std::filesystem::path& publishTool);

struct SeedReport {
  uint64_t seed = 0;
  int serverFaults = 0;  // misbehaving answers, 404 files included
  int kills = 0;         // SIGKILLs that hit the driver
  int runs = 0;          // driver starts
  bool survived = false;
  int corruptFiles = 0;  // files with wrong bytes where the install claimed complete
  int64_t bytesSent = 0;
  int64_t minimumBytes = 0;
  int deltas = 0;  // files the driver's runs updated by delta, as their log says
  std::vector<std::string> problems;

  int faults() const { return serverFaults + kills; }
};

// One seed in a fresh folder below `work`, removed afterwards unless it
// failed, with `driver` (qh-fault-driver) as the launcher.
SeedReport runSeed(const Published& published, const std::filesystem::path& work, uint64_t seed,
                   const std::filesystem::path& driver);

// "faults: N, survived: N, corrupt files: N, bytes re-downloaded: X % over minimum"
std::string summary(const std::vector<SeedReport>& reports);

}  // namespace qh::Campaign
