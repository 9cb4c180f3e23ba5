// Quitting while a file downloads: the transfer stops, its thread lets go of
// the ".part", and the next start resumes from what arrived.
#include <gtest/gtest.h>

#include "net/downloader.h"
#include "net/hash.h"
#include "net/net_error.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace fs = std::filesystem;

namespace {

class QuitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.setFile("/big.bin", body);
    sha1 = Hash::sha1(dir.write("source.bin", body));
  }

  // Starts a fetch of "/big.bin" to `to` and returns once `bytes` are in its ".part".
  QCoro::Task<> startFetch(const fs::path& to, uintmax_t bytes) {
    QCoro::Task<> task = Downloader::fetch(
        server.url("/big.bin"), to, static_cast<int64_t>(body.size()), sha1, std::nullopt, {});
    EXPECT_TRUE(spinUntil([&] {
      std::error_code ec;
      const uintmax_t size = fs::file_size(Downloader::partFile(to), ec);
      return !ec && size >= bytes;
    }));
    return task;
  }

  const std::string body = randomBytes(3 << 20, 11);
  TempDir dir;
  TestServer server;
  fs::path dest = dir / "client/Data/big.bin";
  std::string sha1;
};

TEST_F(QuitTest, EveryRunningDownloadStopsKeepsItsPartAndResumes) {
  // The server sends 50,000 bytes and then nothing: only the cancel can end them.
  server.fault("/big.bin", {.stallAfter = 50000}, 2);
  const fs::path other = dir / "client/Data/other.bin";
  QCoro::Task<> first = startFetch(dest, 50000);
  QCoro::Task<> second = startFetch(other, 50000);
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
  runTask(Downloader::fetch(server.url("/big.bin"), dest, static_cast<int64_t>(body.size()), sha1,
                            std::nullopt, {}));
  EXPECT_EQ(server.requests("/big.bin").at(0).header("Range"), "bytes=50000-");
  EXPECT_EQ(slurp(dest), body);
  EXPECT_FALSE(fs::exists(Downloader::partFile(dest)));
  // Neither the finished nor the cancelled transfers are still counted as running.
  EXPECT_TRUE(Downloader::cancelAll(0.0));
}

// A run of files fetched one after another holds its flag between two files
// too, where no transfer is running: quitting then must still stop the run.
TEST_F(QuitTest, AHeldRunIsStoppedBetweenTwoFiles) {
  const Downloader::Cancel flag = std::make_shared<std::atomic<bool>>(false);
  auto held = std::make_unique<Downloader::Hold>(flag);
  EXPECT_FALSE(Downloader::cancelAll(0.0));
  EXPECT_TRUE(flag->load());
  held.reset();
  EXPECT_TRUE(Downloader::cancelAll(0.0));
}

}  // namespace
