#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

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

// The checksums run on several threads. The first report is held until
// another thread had the time to report a later position (a thread preempted
// between taking its file and reporting it); the count shown never steps back.
TEST(Compare, TheVerifiedCountNeverStepsBack) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one thread hashes alone here";
  TempDir dir;
  std::vector<ManifestEntry> entries;
  for (int i = 0; i < 200; ++i) {
    const std::string rel = "Data/file" + std::to_string(i);
    dir.write("client/" + rel, "x");
    entries.push_back({std::string(40, '0'), 1, rel});
  }
  std::mutex mutex;
  std::vector<int> shown;
  std::atomic<int> calls{0};
  const auto status = [&](const std::string& text, std::optional<double>) {
    if (++calls == 1) {
      const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
      while (calls.load() == 1 && std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
      }
    }
    std::lock_guard lock(mutex);
    shown.push_back(std::stoi(text.substr(text.find('(') + 1)));
  };
  Compare::neededEntries(entries, {}, dir / "client", true, status);
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << ::testing::PrintToString(shown);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), 200);
}

}  // namespace

}  // namespace qh
