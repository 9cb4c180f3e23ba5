#include "net/downloader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif
#include <unistd.h>

#include <tuple>

#include "net/hash.h"
#include "net/net_error.h"
#include "net/speed_limit.h"
#include "support/fake_clock.h"
#include "support/fake_transport.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace qh {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

class DownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SpeedLimit::store(0);
    timing.clock = clock;
    server.setFile("/f.bin", body);
    dir.write("src/f.bin", body);
    sha1 = Hash::sha1(dir / "src/f.bin");
    sha256 = Hash::sha256(dir / "src/f.bin");
  }
  void TearDown() override { SpeedLimit::store(0); }

  void fetch(const std::string& path, int64_t size, std::string s1 = "", std::string s256 = "",
             Downloader::Cancel cancel = {}) {
    Downloader::fetchBlocking({.url = server.url(path),
                               .target = dest,
                               .expectedSize = size,
                               .sha1 = std::move(s1),
                               .sha256 = std::move(s256),
                               .progress = [this](int64_t n) { progress.push_back(n); },
                               .timing = timing,
                               .cancel = std::move(cancel)});
  }
  // The NetError a fetch throws.
  NetError netError(const std::string& path, int64_t size, std::string s1 = "",
                    std::string s256 = "") {
    try {
      fetch(path, size, std::move(s1), std::move(s256));
    } catch (const NetError& e) {
      return e;
    }
    ADD_FAILURE() << "no NetError";
    return NetError::shortMessage("");
  }
  std::string rangeOf(size_t request) const {
    const auto seen = server.requests();
    return request < seen.size() ? seen[request].header("Range") : "<no request>";
  }

  const std::string body = randomBytes(300000, 7);
  TempDir dir;
  const fs::path dest = dir / "client/Data/f.bin";
  const fs::path part = dir / "client/Data/f.bin.part";
  std::string sha1, sha256;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  Timing timing;
  TestServer server;
  std::vector<int64_t> progress;
};

TEST_F(DownloaderTest, FetchesVerifiesAndReplacesTheFileInPlace) {
  dir.write("client/Data/f.bin", "old contents");
  fetch("/f.bin?v=abc", 300000, sha1, sha256);
  EXPECT_EQ(slurp(dest), body);
  EXPECT_FALSE(fs::exists(part));
  const auto seen = server.requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].target, "/f.bin?v=abc");
  EXPECT_EQ(seen[0].header("User-Agent"), "QuellhavenMacLauncher/3");
  EXPECT_EQ(seen[0].header("Range"), "");
  // The clock stands still, so only the first chunk and the end report.
  EXPECT_EQ(progress.size(), 2u);
  EXPECT_EQ(progress.back(), 300000);
}

TEST_F(DownloaderTest, ChecksumsCompareWithoutRegardToCaseAndEmptyOnesAreAbsent) {
  fetch("/f.bin", 300000, upper(sha1), "");
  EXPECT_EQ(slurp(dest), body);
  fetch("/f.bin", -1, "", upper(sha256));
  EXPECT_EQ(slurp(dest), body);
}

// The digests of a file that starts over count only the new bytes, not the
// ".part" it had, even when that held the right ones.
TEST_F(DownloaderTest, RestartsFromZeroWhenTheServerIgnoresTheRange) {
  dir.write("client/Data/f.bin.part", body.substr(0, 200000));
  server.fault("/f.bin", {.ignoreRange = true});
  fetch("/f.bin", 300000, sha1, sha256);
  EXPECT_EQ(rangeOf(0), "bytes=200000-");
  EXPECT_EQ(slurp(dest), body);
  ASSERT_FALSE(progress.empty());
  EXPECT_LT(progress.front(), 200000);
}

// A ".part" as long as the file or longer cannot be its start: it is deleted,
// not resumed. Of a file of unknown size any ".part" is trusted. A body of the
// wrong size is an error that leaves the file for the next comparison to find.
TEST_F(DownloaderTest, WhatThePartHoldsDecidesTheResumeAndTheSizeIsChecked) {
  for (const size_t held : {300000, 300001}) {
    dir.write("client/Data/f.bin.part", std::string(held, 'x'));
    fetch("/f.bin", 300000, sha1);
    EXPECT_EQ(slurp(dest), body);
  }
  EXPECT_EQ(rangeOf(0) + rangeOf(1), "");
  dir.write("client/Data/f.bin.part", body.substr(0, 299999));
  fetch("/f.bin", -1);
  EXPECT_EQ(rangeOf(2), "bytes=299999-");
  EXPECT_EQ(slurp(dest), body);
  const NetError e = netError("/f.bin", 299999);
  EXPECT_EQ(e.kind(), NetError::Kind::integrity);
  EXPECT_STREQ(e.what(), "Size mismatch for f.bin (300000 vs 299999)");
  EXPECT_EQ(slurp(dest), body);
}

// The digests cover what the ".part" held before the resume as well as what
// arrived: a wrong byte on either side of the resume point is caught.
TEST_F(DownloaderTest, AResumedFileWithAWrongByteFailsItsChecksums) {
  std::string damaged = body;
  damaged[10] ^= 0x20;
  damaged[250000] ^= 0x20;
  server.setFile("/damaged.bin", damaged);
  const std::string bySha1 = "Integrity check failed for f.bin (stale CDN copy?) - retrying";
  const std::string bySha256 = "Checksum mismatch for f.bin";
  using Case = std::tuple<std::string, const char*, std::string, std::string, std::string>;
  // Nothing unverified carries the final name even for a moment: a launcher
  // killed then would leave a wrong file that a comparison by size keeps.
  // Linux shows every name the folder gets; elsewhere only the end is checked.
  dir.write("client/Data/f.bin.part", "");
#ifdef __linux__
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(watch, part.parent_path().c_str(), IN_CREATE | IN_MOVED_TO), 0);
#endif
  // A wrong ".part" on disk with either digest, then a wrong byte sent after the resume point.
  for (const auto& [held, path, s1, s256, error] :
       {Case{damaged, "/f.bin", sha1, "", bySha1}, Case{damaged, "/f.bin", "", sha256, bySha256},
        Case{body, "/damaged.bin", sha1, sha256, bySha1}}) {
    dir.write("client/Data/f.bin.part", held.substr(0, 1000));
    EXPECT_EQ(netError(path, 300000, s1, s256).what(), error);
    EXPECT_FALSE(fs::exists(part));
    EXPECT_FALSE(fs::exists(dest));
  }
#ifdef __linux__
  alignas(inotify_event) char events[4096];
  for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(events + at);
      EXPECT_STRNE(e->len ? e->name : "", "f.bin") << "an unverified file took the final name";
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  ::close(watch);
#endif
  // And the right bytes on both sides pass both checks.
  dir.write("client/Data/f.bin.part", body.substr(0, 1000));
  fetch("/f.bin", 300000, sha1, sha256);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(rangeOf(i), "bytes=1000-");
  EXPECT_EQ(slurp(dest), body);
}

TEST_F(DownloaderTest, AnInterruptedTransferResumesToIdenticalBytes) {
  server.fault("/f.bin", {.dropAfter = 100000}, 1);
  EXPECT_THROW(fetch("/f.bin", 300000, sha1), TransportError);
  EXPECT_EQ(slurp(part), body.substr(0, 100000));
  EXPECT_FALSE(fs::exists(dest));
  EXPECT_EQ(progress.back(), 100000);
  progress.clear();
  fetch("/f.bin", 300000, sha1);
  EXPECT_EQ(rangeOf(1), "bytes=100000-");
  EXPECT_GE(progress.at(0), 100000);  // counting what the ".part" held
  EXPECT_EQ(slurp(dest), body);
}

// An error answer to a resume leaves what arrived for the next attempt; an
// answer from the wrong place does not.
TEST_F(DownloaderTest, ErrorAnswersToAResumeKeepThePart) {
  dir.write("client/Data/f.bin.part", body.substr(0, 1000));
  for (const int status : {404, 416, 500}) {
    server.fault("/f.bin", {.status = status}, 1);
    EXPECT_EQ(netError("/f.bin", 300000).status(), status);
    EXPECT_EQ(slurp(part), body.substr(0, 1000));
  }
  // A range that starts elsewhere would splice the file: a clear error, and the part goes.
  server.fault("/f.bin", {.rangeEarly = 1}, 1);
  EXPECT_STREQ(
      netError("/f.bin", 300000).what(),
      "Unexpected Content-Range \"bytes 999-299999/300000\" for f.bin (asked from byte 1000)");
  EXPECT_FALSE(fs::exists(part));
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(rangeOf(i), "bytes=1000-");
  EXPECT_FALSE(fs::exists(dest));
}

TEST_F(DownloaderTest, MoreBytesThanAnnouncedNeverPassAsTheFile) {
  server.fault("/f.bin", {.contentLength = 1000});
  EXPECT_STREQ(netError("/f.bin", 300000).what(), "Size mismatch for f.bin (1000 vs 300000)");
  EXPECT_EQ(netError("/f.bin", -1, sha1).kind(), NetError::Kind::integrity);
  EXPECT_FALSE(fs::exists(dest));
}

// A ".part" that cannot be opened, or a disk with no room past 100,000 bytes
// (writes beyond fail with EFBIG, as on a full disk; a ".part" linked to
// /dev/full would not do, as a linked ".part" is replaced): a clear error,
// and the old file stays.
TEST_F(DownloaderTest, AFailedWriteEndsClearlyAndKeepsTheOldFile) {
  dir.write("client/Data/f.bin", "old contents");
  fs::create_directories(part);  // cannot be opened for writing, even by root
  try {
    fetch("/f.bin", 300000);
    FAIL() << "no error";
  } catch (const std::system_error& e) {
    EXPECT_EQ(std::string(e.what()), "open for writing " + part.string() + ": Is a directory");
  }
  fs::remove(part);
  std::optional<std::system_error> failure;
  try {
    const FileSizeLimit room(100000);
    fetch("/f.bin", 300000);
  } catch (const std::system_error& e) {
    failure = e;
  }
  ASSERT_TRUE(failure) << "no error";
  EXPECT_EQ(failure->code(), std::errc::file_too_large);
  EXPECT_THAT(failure->what(), HasSubstr("write " + part.string()));
  EXPECT_EQ(slurp(dest), "old contents");
  EXPECT_EQ(fs::file_size(part), 100000u);
}

// A file of many chunks, hashed behind its writes: a disk that fills
// mid-file (a short write, then none) ends the transfer with the write's
// error, the resume once there is room checks the bytes on both sides of
// the stop, and a wrong byte late in the file is still caught.
TEST_F(DownloaderTest, ALargeFileCutShortByAFullDiskResumesAndPassesItsChecks) {
  const std::string large = randomBytes(5 * 1024 * 1024 + 3, 9);
  server.setFile("/large.bin", large);
  std::string damaged = large;
  damaged[large.size() - 10] ^= 1;
  server.setFile("/damaged.bin", damaged);
  const std::string largeSha1 = Hash::sha1(dir.write("src/large.bin", large));
  const auto disk = std::make_shared<FillingDisk>(2 * 1024 * 1024 + 1);
  const auto fetchLarge = [&](const std::string& path) {
    Downloader::fetchBlocking({.url = server.url(path),
                               .target = dest,
                               .expectedSize = static_cast<int64_t>(large.size()),
                               .sha1 = largeSha1,
                               .timing = timing,
                               .transport = disk});
  };
  try {
    fetchLarge("/large.bin");
    FAIL() << "no error";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_space_on_device);
    EXPECT_EQ(std::string(e.what()), "write " + part.string() + ": No space left on device");
  }
  EXPECT_EQ(fs::file_size(part), 2u * 1024 * 1024 + 1);
  disk->free(SIZE_MAX);
  fetchLarge("/large.bin");
  EXPECT_EQ(rangeOf(1), "bytes=2097153-");
  EXPECT_EQ(slurp(dest), large);
  try {
    fetchLarge("/damaged.bin");
    FAIL() << "no error";
  } catch (const NetError& e) {
    EXPECT_STREQ(e.what(), "Integrity check failed for f.bin (stale CDN copy?) - retrying");
  }
  EXPECT_FALSE(fs::exists(dest));
}

TEST_F(DownloaderTest, TheSpeedStepHoldsTheTransferBack) {
  SpeedLimit::store(5);  // 256 KB/s: 300000 bytes are due in about 1.14 s
  fetch("/f.bin", 300000, sha1);
  double slept = 0;
  for (const double s : clock->sleeps()) {
    EXPECT_LE(s, 1.0);
    slept += s;
  }
  EXPECT_GT(slept, 0.6);
  EXPECT_LE(slept, 300000.0 / 262144);
}

}  // namespace

}  // namespace qh
