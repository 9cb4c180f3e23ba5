// Every number the launcher shows or logs reads the same in every language:
// the texts made under a comma-decimal locale, set both for C (which printf
// and strftime read) and for Qt, are the specified ones.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <QLocale>

#include <clocale>
#include <cstdio>
#include <ctime>
#include <regex>

#include "app/demo_autopilot.h"
#include "core/log.h"
#include "core/qh.h"
#include "core/text.h"
#include "platform/process.h"
#include "support/temp_dir.h"
#include "update/download_log.h"
#include "update/download_progress.h"

namespace qh {

namespace {

constexpr const char* kGerman = "de_DE.UTF-8";

class CommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::setlocale(LC_ALL, kGerman)) {
      // Made for this test where the system lacks it, in a folder of its own.
      const std::filesystem::path made = locales / kGerman;
      Process::run({"/usr/bin/localedef", {"-i", "de_DE", "-f", "UTF-8", made.string()}});
      ::setenv("LOCPATH", locales.path().c_str(), 1);
    }
    if (!std::setlocale(LC_ALL, kGerman)) {
      GTEST_SKIP() << kGerman << " is not installed and /usr/bin/localedef could not make it";
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // The locale bites: printf itself writes a comma here.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    ASSERT_STREQ(probe, "0,5");
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    QLocale::setDefault(QLocale::c());
  }

  TempDir locales;
};

TEST_F(CommaLocale, TheDownloadLineAndItsTimeLeft) {
  constexpr int64_t gib = 1073741824;
  // 1.5 GiB of 3 in 10 s: 153.6 MiB/s and 10 s to go.
  EXPECT_EQ(DownloadProgress::statusText("Downloading 63 of 300", gib * 3 / 2, gib * 3, 10.0, true),
            "Downloading 63 of 300   1.5 / 3.0 GB   153.6 MB/s (limited)   10s left");
  EXPECT_EQ(DownloadProgress::formatEta(5400), "1.5 h left");
  EXPECT_EQ(DownloadProgress::formatEta(89.6), "90s left");
  EXPECT_EQ(DownloadProgress::formatEta(90), "2 min left");
}

TEST_F(CommaLocale, TheAutopilotsLines) {
  EXPECT_EQ(DemoAutopilot::line(0.65, "status", "Checking for updates..."),
            "[   0.65s] status Checking for updates...\n");
  EXPECT_EQ(DemoAutopilot::line(1234.5, "press", "PLAY"), "[1234.50s] press  PLAY\n");
}

TEST_F(CommaLocale, TheLogsRecords) {
  TempDir dir;
  Log::setFile(dir / "launcher.log");
  Log::line("first frame shown after 412 ms");
  Log::setFile(std::nullopt);
  EXPECT_TRUE(std::regex_match(
      slurp(dir / "launcher.log"),
      std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ  v\d+  first frame shown after 412 ms\n)")))
      << slurp(dir / "launcher.log");
  // 2026-12-04 20:40:08 UTC
  EXPECT_EQ(DownloadLog::record(1796416808, "Data/a.MPQ", 2, "timed out"),
            "2026-12-04 20:40:08 +0000  v" + std::to_string(QH::launcherBuild) +
                "  attempt 2/4  Data/a.MPQ  timed out\n");
}

}  // namespace

}  // namespace qh
