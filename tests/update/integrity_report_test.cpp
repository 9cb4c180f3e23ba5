#include <gtest/gtest.h>

#include <chrono>

#include "support/temp_dir.h"
#include "update/integrity_report.h"
#include "update/markers.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// 2026-12-06T05:00:00Z
const auto kWhen = std::chrono::system_clock::time_point(std::chrono::seconds(1796533200));

TEST(IntegrityReport, FindsMissingAndWrongSizedFilesInManifestOrder) {
  TempDir dir;
  dir.write("Data/a.mpq", "12345");
  dir.write("Data/b.mpq", "123");
  dir.write("ok.txt", "");
  fs::create_directories(dir / "Folder.exe");
  const std::vector<ManifestEntry> entries = {{"", 4, "Data/b.mpq"}, {"", 5, "Data/a.mpq"},
                                              {"", 7, "gone.dll"},   {"", 0, "ok.txt"},
                                              {"", 0, "Folder.exe"}, {"", 1, "../outside"}};
  const auto r = IntegrityReport::check(dir.path(), entries);
  EXPECT_EQ(r.checked, 6);
  EXPECT_EQ(r.problemCount, 4);
  EXPECT_EQ(r.problems, (std::vector<IntegrityReport::Problem>{{"Data/b.mpq", 4, 3},
                                                               {"gone.dll", 7, -1},
                                                               {"Folder.exe", 0, -1},
                                                               {"../outside", 1, -1}}));
}

// A manifest long enough to be checked in several blocks at once, hopping
// between folders, with problems spread through it: each size must be the
// one of its own file, and the problems must come out in manifest order.
TEST(IntegrityReport, ALongManifestKeepsEachSizeInItsPlace) {
  TempDir dir;
  const auto sizeOf = [](int folder, int file) { return folder * 3 + file + 1; };
  const auto relOf = [](int folder, int file) {
    return "d" + std::to_string(folder) + "/f" + std::to_string(file);
  };
  for (int k = 0; k < 50; ++k) {
    for (int j = 0; j < 3; ++j) {
      dir.write(fs::path("c") / relOf(k, j), std::string(static_cast<size_t>(sizeOf(k, j)), 'x'));
    }
  }
  dir.write("outside/f0", "x");
  fs::create_symlink(dir / "outside", dir / "c/out");
  std::vector<ManifestEntry> entries;
  std::vector<IntegrityReport::Problem> expected;
  for (int i = 0; i < 10000; ++i) {
    const int k = i / 7 % 50, j = i % 3;
    ManifestEntry e{"", sizeOf(k, j), relOf(k, j)};
    if (i % 97 == 0) {
      e.size = 999;
      expected.push_back({e.rel, 999, sizeOf(k, j)});
    } else if (i % 1499 == 5) {
      e = {"", 1, "out/f0"};
      expected.push_back({e.rel, 1, -1});
    }
    entries.push_back(e);
  }
  const auto r = IntegrityReport::check(dir / "c", entries);
  EXPECT_EQ(r.checked, 10000);
  // A hundred are listed, the other eleven counted.
  ASSERT_EQ(expected.size(), 111u);
  EXPECT_EQ(r.problemCount, static_cast<int64_t>(expected.size()));
  expected.resize(100);
  EXPECT_EQ(r.problems, expected);
  EXPECT_NE(IntegrityReport::render(r, "1", kWhen).find("  unlisted = 11,\n}\n"),
            std::string::npos);
}

TEST(IntegrityReport, RendersALuaTableWithEscapedStrings) {
  IntegrityReport::Result r;
  r.checked = 3;
  r.problemCount = 1;
  r.problems = {
      {"Data/q\"uo\\te\n\x01"
       "9.mpq",
       10, -1}};
  EXPECT_EQ(IntegrityReport::render(r, "1.12 \"beta\"", kWhen),
            "-- Written by the launcher before each launch.\n"
            "QuellhavenIntegrity = {\n"
            "  launcherBuild = 3,\n"
            "  clientVersion = \"1.12 \\\"beta\\\"\",\n"
            "  time = \"2026-12-06T05:00:00Z\",\n"
            "  checked = 3,\n"
            "  problems = 1,\n"
            "  files = {\n"
            "    { path = \"Data/q\\\"uo\\\\te\\n\\0019.mpq\", expected = 10, found = -1 },\n"
            "  },\n"
            "  unlisted = 0,\n"
            "}\n");
}

TEST(IntegrityReport, WritesFromTheRecordedManifestAndVersion) {
  TempDir dir;
  dir.write("Wow.exe", "MZ!");
  ASSERT_TRUE(Markers::write(dir.path(), "1.2",
                             "0123456789abcdef0123456789abcdef01234567\t3\tWow.exe\n"
                             "0123456789abcdef0123456789abcdef01234567\t9\tData/x.mpq\n"));
  ASSERT_TRUE(IntegrityReport::write(dir.path(), kWhen));
  const std::string text = slurp(IntegrityReport::file(dir.path()));
  EXPECT_NE(text.find("  clientVersion = \"1.2\",\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  checked = 2,\n  problems = 1,\n"), std::string::npos) << text;
  EXPECT_NE(text.find("path = \"Data/x.mpq\", expected = 9, found = -1"), std::string::npos);
}

}  // namespace

}  // namespace qh
