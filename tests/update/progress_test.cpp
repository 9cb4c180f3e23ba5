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

// A file counts its size until its delta plans to fetch less, then what that
// fetches; after a failed delta it counts whole again, and what the delta
// fetched is left out. The track never goes back and ends at 1.
TEST(ProgressTally, CountsWhatIsFetchedAndTheTrackNeverGoesBack) {
  auto clock = std::make_shared<FakeClock>();
  std::vector<std::pair<std::string, std::optional<double>>> seen;
  const StatusCallback report = [&](const std::string& s, std::optional<double> p) {
    seen.emplace_back(s, p);
  };
  DownloadProgress::Tally tally({2 * GiB, GiB, -5}, clock);
  SpeedLimit::store(0);
  tally.begin(0);
  tally.plan(200 * MiB);
  clock->advance(10);
  tally.action("Downloading 1 of 3", report)(100 * MiB);
  tally.finish();

  tally.begin(1);
  const auto second = tally.action("Downloading 2 of 3", report);
  tally.plan(300 * MiB);
  clock->advance(10);
  second(150 * MiB);
  tally.begin(1);
  SpeedLimit::store(3);
  second(0);
  SpeedLimit::store(0);
  clock->advance(80);
  second(GiB);
  tally.finish();
  tally.begin(2);
  tally.finish();

  const std::vector<std::pair<std::string, std::optional<double>>> expected = {
      {"Downloading 1 of 3   0.1 / 1.2 GB   10.0 MB/s   2 min left", 100.0 / 1224},
      {"Downloading 2 of 3   0.3 / 0.5 GB   17.5 MB/s   9s left", 0.7},
      {"Downloading 2 of 3   0.2 / 1.2 GB   10.0 MB/s (limited)   2 min left", 0.7},
      {"Downloading 2 of 3   1.2 / 1.2 GB   12.2 MB/s   almost done", 1.0}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(tally.fraction(), 1.0);
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
