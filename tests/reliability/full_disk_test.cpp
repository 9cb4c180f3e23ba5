// An install onto a disk that fills up: the run ends with the platform's "No
// space left on device" as its last error, keeps the finished files and the
// partial one, and once space is freed the next run resumes that file from
// where it stopped. The disk is a transport whose writes fail with ENOSPC
// once a byte budget is spent, as a full file system does; the downloader's
// own tests fail real writes through a file-size limit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fake_transport.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "update/fake_host.h"
#include "update/update_engine.h"

namespace qh {

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

constexpr size_t KiB = 1024;

TEST(FullDisk, EndsClearlyKeepsWhatArrivedAndResumesOnceFreed) {
  const auto disk = std::make_shared<FillingDisk>(160 * KiB);
  TempDir dir;
  const fs::path install = dir / "Quellhaven";

  // The first two fit; the third fills the disk part of the way.
  const std::string exe = randomBytes(8 * KiB, 1), small = randomBytes(40 * KiB, 2),
                    large = randomBytes(400 * KiB, 3);
  TestServer server;
  std::string manifest;
  for (const auto& [rel, bytes] : {std::pair<std::string, std::string>{"Wow.exe", exe},
                                   {"Data/a.MPQ", small},
                                   {"Data/b.MPQ", large}}) {
    server.setFile("/" + rel, bytes);
    manifest += manifestLine(rel, bytes);
  }
  server.setFile("/version.txt", "2.1\n");
  server.setFile("/manifest.txt", manifest);
  auto host = FakeHost::make(server.url(), install, dir / "state");

  runTask(UpdateEngine::sync(host, false, disk));

  EXPECT_EQ(host->status, "Couldn't fetch 1 file(s) - press RETRY (finished files are kept).");
  EXPECT_THAT(host->detail, StartsWith("Last error: "));
  EXPECT_THAT(host->detail, EndsWith("No space left on device"));
  EXPECT_EQ(host->phase, Phase::needInstall);
  EXPECT_TRUE(host->finishes.empty());
  EXPECT_EQ(slurp(install / "Wow.exe"), exe);
  EXPECT_EQ(slurp(install / "Data/a.MPQ"), small);
  EXPECT_FALSE(fs::exists(install / "Data/b.MPQ"));
  const std::string partial = slurp(install / "Data/b.MPQ.part");
  ASSERT_GT(partial.size(), 0u);
  ASSERT_LT(partial.size(), large.size());
  EXPECT_EQ(partial, large.substr(0, partial.size()));
  EXPECT_FALSE(fs::exists(install / ".qhversion"));
  const std::string log = slurp(dir / "state/download_errors.log");
  EXPECT_THAT(log, HasSubstr("attempt 4/4  Data/b.MPQ  "));
  EXPECT_THAT(log, HasSubstr("No space left on device\n"));

  disk->free(SIZE_MAX);
  server.clearRequests();
  runTask(UpdateEngine::sync(host, false, disk));

  ASSERT_EQ(host->finishes.size(), 1u) << host->status << " / " << host->detail;
  EXPECT_EQ(host->finishes[0].summary, "Installed");
  EXPECT_EQ(slurp(install / "Data/b.MPQ"), large);
  EXPECT_FALSE(fs::exists(install / "Data/b.MPQ.part"));
  // Only the unfinished file is fetched again, from where it stopped.
  const std::vector<TestServer::Request> again = server.requests("/Data/b.MPQ");
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].header("Range"), "bytes=" + std::to_string(partial.size()) + "-");
  EXPECT_TRUE(server.requests("/Data/a.MPQ").empty());
  EXPECT_TRUE(server.requests("/Wow.exe").empty());
}

}  // namespace

}  // namespace qh
