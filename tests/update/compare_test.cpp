#include <gtest/gtest.h>

#include <atomic>
#include <system_error>

#include "core/quitting.h"
#include "support/temp_dir.h"
#include "update/compare.h"

namespace qh {

namespace {

// Closing the window during a repair: the checksums stop at the next file,
// and the files left unchecked are not taken for good ones.
TEST(Compare, AVerifyStopsWhenTheLauncherQuits) {
  TempDir dir;
  std::vector<ManifestEntry> entries;
  for (int i = 0; i < 100; ++i) {
    const std::string rel = "Data/file" + std::to_string(i);
    dir.write("client/" + rel, "x");
    entries.push_back({std::string(40, '0'), 1, rel});
  }
  struct Reset {
    ~Reset() { Quitting::flag().store(false); }
  } reset;
  std::atomic<int> reports{0};
  const auto status = [&](const std::string&, std::optional<double>) {
    ++reports;
    Quitting::begin();
  };
  EXPECT_THROW(Compare::neededEntries(entries, {}, dir / "client", true, status),
               std::system_error);
  // One report a ten files: the whole list would give ten.
  EXPECT_LE(reports.load(), 4);
}

}  // namespace

}  // namespace qh
