// The window stays live while the update engine works: comparing a hundred
// thousand files, hashing a large file and waiting on a server that stopped
// sending all happen while the main thread keeps serving its event loop.
// The hashed file is sparse and 256 MiB: the hash runs on a worker whatever
// the size and reports to the main thread by entry, not by byte, so a 4 GiB
// file takes the same path for sixteen times as long.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/os_layout.h"
#include "net/hash.h"
#include "selfupdate/self_update.h"
#include "support/qt_wait.h"
#include "support/stall_monitor.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "update/fake_host.h"
#include "update/update_engine.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// A stall a player would notice, 50 ms. Sanitizers make every step several
// times slower, so under them the bound grows with it: about four times under
// AddressSanitizer, eight under ThreadSanitizer, whose every allocation and
// copy is instrumented. (g++ names the sanitizer with a macro, clang answers
// __has_feature.)
#if defined(__has_feature)
#define QH_HAS_FEATURE(x) __has_feature(x)
#else
#define QH_HAS_FEATURE(x) 0
#endif
#if defined(__SANITIZE_THREAD__) || QH_HAS_FEATURE(thread_sanitizer)
constexpr double kLongestStallMs = 8 * 50.0;
#elif defined(__SANITIZE_ADDRESS__) || QH_HAS_FEATURE(address_sanitizer)
constexpr double kLongestStallMs = 4 * 50.0;
#else
constexpr double kLongestStallMs = 50.0;
#endif
constexpr const char* kEmptySha1 = "da39a3ee5e6b4b0d3255bfef95601890afd80709";

void makeSparse(const fs::path& file, int64_t size) {
  fs::create_directories(file.parent_path());
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, size), 0);
  ::close(fd);
}

std::string line(const std::string& sha1, int64_t size, const std::string& rel) {
  return sha1 + "\t" + std::to_string(size) + "\t" + rel + "\n";
}

class Responsiveness : public ::testing::Test {
 protected:
  void SetUp() override {
    // Retry pauses pass at once; the network's own time-outs stay real.
    host = FakeHost::make(server.url(), dir / "client", dir / "state");
    host->timing_.requestIdleTimeout = 1.0;
    fs::create_directories(dir / "client");
    server.setFile("/version.txt", "5\n");
  }
  void sync(bool force) {
    host->finishes.clear();
    runTask(UpdateEngine::sync(host, force));
  }

  static void report(const StallMonitor& monitor) {
    EXPECT_GT(monitor.ticks(), 10) << "the timer never ran";
    std::printf("longest main-thread stall %.1f ms (%.1f ms by the wall clock), %d ticks\n",
                monitor.longestMs(), monitor.longestRawMs(), monitor.ticks());
  }

  TempDir dir;
  TestServer server;
  std::shared_ptr<FakeHost> host;
};

// A hundred thousand entries. Most files are missing: the comparison looks at
// each all the same, and creating that many files would make the test slow on
// a busy disk without changing what the main thread does.
std::string bigManifest(const fs::path& client, int present) {
  std::string manifest;
  manifest.reserve(100000 * 70);
  for (int folder = 0; folder < 200; ++folder) {
    const std::string sub = "Data/set" + std::to_string(folder) + "/";
    fs::create_directories(client / sub);
    for (int i = 0; i < 500; ++i) {
      const std::string rel = sub + "piece" + std::to_string(i) + ".dat";
      if (i < present / 200) {
        const int fd = ::open((client / rel).c_str(), O_WRONLY | O_CREAT, 0644);
        EXPECT_GE(fd, 0);
        ::close(fd);
      }
      manifest += line(kEmptySha1, 0, rel);
    }
  }
  return manifest;
}

TEST_F(Responsiveness, AHundredThousandFilesUnchangedThenCompared) {
  const std::string manifest = bigManifest(dir / "client", 2000);
  server.setFile("/manifest.txt", manifest);
  dir.write("client/Wow.exe", "MZ");
  dir.write("client/.qhversion", "5");
  // The recorded list differs in line ends only, so both are normalised in full.
  std::string crlf;
  for (const char c : manifest) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  dir.write("client/.qhmanifest", crlf);
  // The game runs.
  host->running = true;
  StallMonitor monitor;
  sync(false);
  EXPECT_EQ(host->finishes.at(0).summary, "Up to date");
  // Another version: the engine compares every entry, finds 98,000 files to
  // fetch and stops there.
  dir.write("client/.qhversion", "4");
  sync(false);
  report(monitor);
  EXPECT_LT(monitor.longestMs(), kLongestStallMs);
  EXPECT_EQ(host->status, "An update is available, but the game is running.");
  EXPECT_EQ(host->detail, "Close Quellhaven and press RETRY to update.");
  EXPECT_EQ(server.requests().size(), 4u);  // version and manifest twice, no file
}

TEST_F(Responsiveness, VerifyingALargeFile) {
  const int64_t size = int64_t{256} << 20;
  makeSparse(dir / "client/Data/big.MPQ", size);
  const std::string digest = Hash::sha1(dir / "client/Data/big.MPQ");
  // A damaged file of the right size, found only by its checksum.
  dir.write("client/Data/small.MPQ", "damaged!");
  server.setFile("/Data/small.MPQ", "original");
  server.setFile("/manifest.txt",
                 line(digest, size, "Data/big.MPQ") + manifestLine("Data/small.MPQ", "original"));

  StallMonitor monitor;
  sync(true);
  report(monitor);
  EXPECT_LT(monitor.longestMs(), kLongestStallMs);
  EXPECT_EQ(host->finishes.at(0).summary, "Installed");
  EXPECT_EQ(slurp(dir / "client/Data/small.MPQ"), "original");
  EXPECT_TRUE(server.requests("/Data/big.MPQ").empty());
}

// A server that accepts and then says nothing: the update, its download and
// the launcher's own version check each give up after the idle time-out, with
// the transport's message as the problem, and the download resumes.
TEST_F(Responsiveness, WaitingOnAStalledServer) {
  const std::string body(256 * 1024, 's');
  server.setFile("/Data/slow.bin", body);
  server.setFile("/manifest.txt", manifestLine("Data/slow.bin", body));
  const std::string launcherVersion = "/" + osLayout().launcherVersion;
  server.setFile(launcherVersion, "999\n");
  for (const std::string& path : {std::string("/version.txt"), launcherVersion}) {
    server.fault(path, {.hook = [this] { server.stall(); }}, 1);  // before the headers
  }
  // The first answer for the file stops after 1000 bytes.
  server.fault("/Data/slow.bin", {.stallAfter = 1000}, 1);

  StallMonitor monitor;
  sync(false);
  EXPECT_TRUE(host->status.starts_with("Problem: Timeout was reached")) << host->status;
  EXPECT_EQ(host->detail, "Check your internet connection, then try again.");
  sync(false);
  EXPECT_EQ(host->finishes.at(0).summary, "Installed");
  std::vector<std::string> notices;
  runTask(SelfUpdate::run(
      host->paths_, [&](std::string s) { notices.push_back(std::move(s)); }, host->timing_));
  report(monitor);
  EXPECT_LT(monitor.longestMs(), kLongestStallMs);
  const auto asked = server.requests("/Data/slow.bin");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].header("Range"), "bytes=1000-");
  // curl's message names the idle time the version check was given.
  const std::string record = slurp(host->paths_.stateDir / "selfupdate_last_error.txt");
  EXPECT_NE(record.find("the last 1 seconds"), std::string::npos) << record;
  EXPECT_TRUE(notices.empty());
}

}  // namespace

}  // namespace qh
