#include <gtest/gtest.h>

#include "net/speed_limit.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"
#include "update/download_log.h"
#include "update/download_progress.h"

namespace qh {

namespace {

constexpr int64_t GiB = 1073741824;
constexpr int64_t MiB = 1048576;

TEST(StatusText, SpeedAndTimeOnlyAfterHalfASecond) {
  for (const auto& [seconds, text] :
       std::vector<std::pair<double, std::string>>{{0.4, "almost done"},
                                                   {89.6, "90s left"},
                                                   {90, "2 min left"},
                                                   {121, "3 min left"},
                                                   {5399, "90 min left"},
                                                   {5400, "1.5 h left"}}) {
    EXPECT_EQ(DownloadProgress::formatEta(seconds), text) << seconds;
  }
  EXPECT_EQ(DownloadProgress::statusText("Downloading 1 of 3", GiB / 2, 2 * GiB, 0.5, true),
            "Downloading 1 of 3   0.5 / 2.0 GB");
  EXPECT_EQ(DownloadProgress::statusText("Downloading 2 of 3", 0, 2 * GiB, 10, false),
            "Downloading 2 of 3   0.0 / 2.0 GB");
  EXPECT_EQ(DownloadProgress::statusText("Downloading 2 of 3", 10 * MiB, 20 * MiB, 2, false),
            "Downloading 2 of 3   0.0 / 0.0 GB   5.0 MB/s   2s left");
  EXPECT_EQ(DownloadProgress::statusText("Downloading 3 of 3", GiB, GiB + 180 * MiB, 1024, true),
            "Downloading 3 of 3   1.0 / 1.2 GB   1.0 MB/s (limited)   3 min left");
  EXPECT_EQ(DownloadProgress::fraction(5, 0), std::nullopt);
  // Skipped files can push got past total; the time left never goes negative.
  EXPECT_EQ(DownloadProgress::statusText("Downloading 1 of 1", 4 * MiB, 2 * MiB, 1, false),
            "Downloading 1 of 1   0.0 / 0.0 GB   4.0 MB/s   almost done");
}

TEST(ProgressAction, AddsEarlierBytesAndReadsTheSpeedStepEachCall) {
  auto clock = std::make_shared<FakeClock>();
  const double start = clock->now();
  std::vector<std::pair<std::string, std::optional<double>>> seen;
  auto act = DownloadProgress::action(
      6 * MiB, start, 16 * MiB, "Downloading 2 of 2", clock,
      [&](const std::string& s, std::optional<double> p) { seen.emplace_back(s, p); });
  SpeedLimit::store(0);
  clock->advance(1);
  act(2 * MiB);
  SpeedLimit::store(3);
  act(2 * MiB);
  SpeedLimit::store(0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, "Downloading 2 of 2   0.0 / 0.0 GB   8.0 MB/s   1s left");
  EXPECT_EQ(seen[0].second, 0.5);
  EXPECT_EQ(seen[1].first, "Downloading 2 of 2   0.0 / 0.0 GB   8.0 MB/s (limited)   1s left");
}

TEST(DownloadLog, RecordBytesAndAnUnwritableLogIsNoError) {
  EXPECT_EQ(DownloadLog::record(1796416808, "Data/a b.MPQ", 2, "HTTP 500 for http://x/a"),
            "2026-12-04 20:40:08 +0000  v3  attempt 2/4  Data/a b.MPQ  HTTP 500 for http://x/a\n");
  // A log that cannot be written must not end the download.
  TempDir dir;
  EXPECT_NO_THROW(DownloadLog::append(dir / "missing", "c", 1, "x"));
}

}  // namespace

}  // namespace qh
