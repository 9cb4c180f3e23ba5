// Quitting while a file downloads: the transfer stops, its thread lets go of
// the ".part", and the next start resumes from what arrived.
#include <gtest/gtest.h>

#include "net/downloader.h"
#include "net/hash.h"
#include "net/net_error.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

TEST(QuitTest, EveryRunningDownloadStopsKeepsItsPartAndResumes) {
  const std::string body = randomBytes(3 << 20, 11);
  TempDir dir;
  TestServer server;
  server.setFile("/big.bin", body);
  const std::string sha1 = Hash::sha1(dir.write("source.bin", body));
  const fs::path dest = dir / "client/Data/big.bin", other = dir / "client/Data/other.bin";
  // The server sends 50,000 bytes and then nothing: only the cancel can end them.
  server.fault("/big.bin", {.stallAfter = 50000}, 2);
  const auto fetch = [&](const fs::path& to) {
    return Downloader::fetch({.url = server.url("/big.bin"),
                              .target = to,
                              .expectedSize = static_cast<int64_t>(body.size()),
                              .sha1 = sha1});
  };
  QCoro::Task<> first = fetch(dest);
  QCoro::Task<> second = fetch(other);
  for (const fs::path& to : {dest, other}) {
    EXPECT_TRUE(spinUntil([&] {
      std::error_code ec;
      return fs::file_size(Downloader::partFile(to), ec) >= 50000 && !ec;
    }));
  }
  EXPECT_TRUE(Downloader::cancelAll(30.0));
  for (QCoro::Task<>* running : {&first, &second}) {
    try {
      runTask(std::move(*running));
      ADD_FAILURE() << "the cancelled download finished";
    } catch (const TransportError& e) {
      EXPECT_STREQ(e.what(), "Download cancelled");
    }
  }
  EXPECT_FALSE(fs::exists(dest));
  EXPECT_EQ(slurp(Downloader::partFile(dest)), body.substr(0, 50000));
  EXPECT_EQ(fs::file_size(Downloader::partFile(other)), 50000u);

  // The next start picks up where it stopped.
  server.clearRequests();
  runTask(fetch(dest));
  EXPECT_EQ(server.requests("/big.bin").at(0).header("Range"), "bytes=50000-");
  EXPECT_EQ(slurp(dest), body);
  EXPECT_FALSE(fs::exists(Downloader::partFile(dest)));
  // Neither the finished nor the cancelled transfers are still counted as running.
  EXPECT_TRUE(Downloader::cancelAll(0.0));
}

// A run of files fetched one after another holds its flag between two files
// too, where no transfer is running: quitting then must still stop the run.
TEST(QuitTest, AHeldRunIsStoppedBetweenTwoFiles) {
  const Downloader::Cancel flag = std::make_shared<std::atomic<bool>>(false);
  auto held = std::make_unique<Downloader::Hold>(flag);
  EXPECT_FALSE(Downloader::cancelAll(0.0));
  EXPECT_TRUE(flag->load());
  held.reset();
  EXPECT_TRUE(Downloader::cancelAll(0.0));
}

}  // namespace

}  // namespace qh
