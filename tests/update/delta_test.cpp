// Delta updates: the checksums and the scan on their own, then the real
// engine against a real HTTP server, where every failure of the delta path
// must end in the published bytes (by a whole download) or in the usual
// failure texts, and never in a wrong file under the final name.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/error.h"
#include "core/log.h"
#include "fake_host.h"
#include "net/downloader.h"
#include "net/net_error.h"
#include "net/speed_limit.h"
#include "support/fake_clock.h"
#include "support/fake_transport.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "update/block_checksum.h"
#include "update/block_map.h"
#include "update/block_scan.h"
#include "update/update_engine.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

const unsigned char* bytesOf(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// A map of `bytes` with small blocks, so the scan can be tried on small inputs.
BlockMap mapOf(const std::string& bytes, uint32_t blockSize) {
  BlockMap map{.fileSize = static_cast<int64_t>(bytes.size()), .blockSize = blockSize};
  for (size_t at = 0; at < bytes.size(); at += blockSize) {
    const size_t n = std::min<size_t>(blockSize, bytes.size() - at);
    map.blocks.push_back({BlockChecksum::weak(bytesOf(bytes) + at, n),
                          BlockChecksum::strong(bytesOf(bytes) + at, n)});
  }
  return map;
}

TEST(BlockChecksum, RollingEqualsTheSumOfEveryWindow) {
  const std::string data = randomBytes(5000, 7) + std::string(3000, '\0') + randomBytes(3000, 8);
  for (const size_t window : {1u, 31u, 1024u}) {
    BlockChecksum::Rolling rolling(bytesOf(data), window);
    for (size_t at = 0;; ++at) {
      ASSERT_EQ(rolling.value(), BlockChecksum::weak(bytesOf(data) + at, window)) << at;
      if (at + window >= data.size()) break;
      rolling.roll(bytesOf(data)[at], bytesOf(data)[at + window]);
    }
  }
  // One byte moved within a block changes the strong hash, whatever the lane.
  std::string moved = data.substr(0, 1024);
  for (size_t i : {0u, 9u, 1000u, 1023u}) {
    std::string changed = moved;
    changed[i] ^= 1;
    EXPECT_NE(BlockChecksum::strong(bytesOf(changed), 1024),
              BlockChecksum::strong(bytesOf(moved), 1024));
  }
}

// The format is the contract between qh-publish and every launcher out there.
TEST(BlockMapFormat, BytesAreExactAndAnythingElseIsRefused) {
  BlockMap map{.fileSize = 70000,
               .sha1 = "00112233445566778899aabbccddeeff01234567",
               .blockSize = 65536,
               .blocks = {{0x01020304, 0x1112131415161718}, {0xA0B0C0D0, 42}}};
  const std::string bytes = BlockMap::serialize(map);
  const std::string header =
      std::string("QHBLOCK1") + std::string("\x70\x11\x01\0\0\0\0\0", 8) +
      std::string(
          "\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff\x01\x23\x45\x67", 20) +
      std::string("\0\0\1\0", 4) + std::string("\2\0\0\0", 4);
  ASSERT_EQ(bytes.substr(0, 44), header);
  EXPECT_EQ(bytes.substr(44, 12), std::string("\4\3\2\1\x18\x17\x16\x15\x14\x13\x12\x11", 12));
  EXPECT_EQ(bytes.size(), 44u + 2 * 12);
  EXPECT_EQ(BlockMap::parse(bytes, 70000, "00112233445566778899AABBCCDDEEFF01234567"), map);

  const auto refused = [](const std::string& b, int64_t size = -1, std::string sha1 = {}) {
    try {
      BlockMap::parse(b, size, sha1);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refused(bytes.substr(0, bytes.size() - 1)), "block map refused: 67 bytes, not 68");
  EXPECT_EQ(refused(bytes + "x"), "block map refused: 69 bytes, not 68");
  EXPECT_EQ(refused("<html>" + bytes), "block map refused: not a block map");
  std::string count = bytes;
  count[40] = 3;
  EXPECT_EQ(refused(count), "block map refused: 3 blocks for 70000 bytes");
  std::string odd = bytes;
  odd[38] = 3;
  EXPECT_EQ(refused(odd), "block map refused: block size 196608");
  EXPECT_NE(refused(bytes, 70001, map.sha1), "accepted");
  EXPECT_NE(refused(bytes, 70000, "ff" + map.sha1.substr(2)), "accepted");
}

// Blocks are found wherever they moved to, also after an insertion of one
// byte; what changed, and the short last block that is nowhere, is not.
TEST(BlockScan, FindsBlocksAtAnyOffsetAndOnlyThose) {
  TempDir dir;
  const std::string fresh = randomBytes(64 * 1024 + 700, 3);
  const BlockMap map = mapOf(fresh, 1024);
  std::string old = "x" + fresh.substr(0, 5000) + randomBytes(3000, 4) + fresh.substr(8000, 20672);
  old += fresh.substr(30 * 1024, 1024);  // block 30 twice
  old += fresh.substr(28 * 1024);
  old.resize(old.size() - 500);  // the short last block (700 bytes) is gone
  const fs::path file = dir.write("old", old);
  std::atomic<bool> cancel = false;
  const std::vector<int64_t> found = BlockScan::find(map, file, cancel);
  ASSERT_EQ(found.size(), map.blocks.size());
  for (size_t i = 0; i < found.size(); ++i) {
    const int64_t start = map.blockStart(i), end = start + map.blockLength(i);
    const bool changed = end > 5000 && start < 8000;
    if (changed || i + 1 == found.size()) {
      EXPECT_EQ(found[i], -1) << i;
      continue;
    }
    ASSERT_GE(found[i], 0) << i;
    EXPECT_EQ(old.substr(found[i], map.blockLength(i)), fresh.substr(start, map.blockLength(i)))
        << i;
  }
  // A short last block left at the old file's end is found there.
  const fs::path appended = dir.write("appended", fresh.substr(0, 1024) + fresh.substr(64 * 1024));
  EXPECT_EQ(BlockScan::find(map, appended, cancel).back(), 1024);
  cancel = true;
  EXPECT_THROW(BlockScan::find(map, file, cancel), TransportError);
}

constexpr size_t mib = 1024 * 1024;
constexpr const char* rel = "Data/big.MPQ";
constexpr const char* path = "/Data/big.MPQ";

// The network and the disk as they are; keeps the ".part" and the old file
// as they were when the ".part" had `at` bytes, as a quit then leaves them.
class QuitPoint final : public Transport {
 public:
  QuitPoint(fs::path part, fs::path target, uintmax_t at)
      : part_(std::move(part)), target_(std::move(target)), at_(at) {}
  std::string socketName() const override { return {}; }
  void connected() override {}
  ssize_t write(int fd, const char* data, size_t size) override {
    std::error_code ec;
    if (part.empty() && fs::file_size(part_, ec) == at_) {
      part = slurp(part_);
      old = slurp(target_);
    }
    return ::write(fd, data, size);
  }
  std::string part, old;

 private:
  const fs::path part_, target_;
  const uintmax_t at_;
};

class DeltaTest : public ::testing::Test {
 public:
  // Build 1 and build 2 of a large file: an insertion, an overwrite and a
  // truncation apart, 170000 bytes that changed. Made once: they take a
  // while under the sanitizers.
  static const std::string& builds(int which) {
    static const std::string one = randomBytes(17 * mib + 12345, 1);
    static const std::string two = one.substr(0, mib) + randomBytes(100000, 2) +
                                   one.substr(mib, 8 * mib) + randomBytes(70000, 3) +
                                   one.substr(9 * mib + 70000, one.size() - 9 * mib - 370000);
    return which == 1 ? one : two;
  }
  // Their block maps, as qh-publish writes them.
  static const std::string& mapOfBuild(int which) {
    const auto make = [](const std::string& bytes) {
      TempDir scratch;
      return BlockMap::serialize(BlockMap::build(scratch.write("f", bytes)));
    };
    static const std::string one = make(builds(1)), two = make(builds(2));
    return which == 1 ? one : two;
  }
  const std::string& build1 = builds(1);
  const std::string& build2 = builds(2);
  void SetUp() override {
    fs::create_directories(dir / "server");
    server.serveFolder(dir / "server");
    host = FakeHost::make(server.url(), dir / "client", dir / "state");
    host->timing_.clock = clock;
    Log::setFile(dir / "state/launcher.log");
    dir.write("client/" + std::string(rel), build1);
    dir.write("server/Wow.exe", "MZ");
    publish();
    dir.write("outside", "untouched");
  }
  void TearDown() override {
    Log::setFile(std::nullopt);
    SpeedLimit::store(0);
  }

  // Build 2 and `map` on the server.
  void publish(const std::string& map = mapOfBuild(2)) {
    dir.write("server/" + std::string(rel), build2);
    dir.write("server/" + std::string(rel) + ".qhblocks", map);
    dir.write("server/manifest.txt", manifestLine("Wow.exe", "MZ") + manifestLine(rel, build2));
    dir.write("server/version.txt", "2\n");
  }
  void sync(bool force = false, std::shared_ptr<Transport> transport = Transport::network()) {
    server.clearRequests();
    runTask(UpdateEngine::sync(host, force, transport));
  }
  std::string client() { return slurp(dir / "client" / rel); }
  // Requests of the file with and without a range.
  size_t ranged() {
    const auto all = server.requests(path);
    return std::count_if(all.begin(), all.end(),
                         [](const auto& r) { return !r.header("Range").empty(); });
  }
  size_t whole() { return server.requests(path).size() - ranged(); }
  // Every file of the test's folder but the client's, the launcher's state
  // and the server's, which the update must leave alone.
  std::vector<std::string> outside() {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
      const std::string r = fs::relative(e.path(), dir.path()).string();
      if (!r.starts_with("client") && !r.starts_with("state") && !r.starts_with("server")) {
        out.push_back(r);
      }
    }
    return out;
  }
  bool partLeft() { return fs::exists(dir / "client" / (std::string(rel) + ".part")); }

  TempDir dir;
  TestServer server;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  std::shared_ptr<FakeHost> host;
};

// Only what changed crosses the network, in range requests; the file ends
// byte-identical, and a forced verification repairs damage the same way.
TEST_F(DeltaTest, FetchesOnlyWhatChangedAndRepairsByDelta) {
  sync();
  ASSERT_EQ(host->finishes.at(0).summary, "Installed");
  EXPECT_TRUE(client() == build2);
  EXPECT_EQ(whole(), 0u);
  EXPECT_EQ(ranged(), 2u);  // the insertion and the overwrite; the truncation costs nothing
  EXPECT_LE(server.bytesSent().at(path), 170000u + 4 * 65536);
  EXPECT_FALSE(partLeft());

  // Damage in 64 KiB blocks 0, 192, 194, 197 and the last: 192 to 194 are
  // fetched in one range, one good block between them; 197 is two away.
  const uint64_t sent = server.bytesSent().at(path);
  std::string damaged = build2;
  for (size_t block : {0, 192, 194, 197}) damaged[block * 65536 + 5] ^= 0x20;
  damaged.back() ^= 0x20;
  dir.write("client/" + std::string(rel), damaged);
  sync(true);
  EXPECT_TRUE(client() == build2);
  EXPECT_EQ(whole(), 0u);
  std::vector<std::string> ranges;
  for (const auto& r : server.requests(path)) ranges.push_back(r.header("Range"));
  ASSERT_EQ(ranges.size(), 4u);
  EXPECT_EQ(ranges[1], "bytes=12582912-12779519");
  EXPECT_EQ(ranges[2], "bytes=12910592-12976127");
  EXPECT_EQ(server.bytesSent().at(path) - sent, 5 * 65536 + build2.size() % 65536);
}

// The speed step holds the map and the ranges, and the status line counts
// them, not the file's size.
TEST_F(DeltaTest, TheSpeedStepHoldsRangesAndTheLineShowsWhatIsFetched) {
  dir.write("server/after.txt", "after");
  dir.write("server/manifest.txt", manifestLine("Wow.exe", "MZ") + manifestLine(rel, build2) +
                                       manifestLine("after.txt", "after"));
  SpeedLimit::store(5);  // 256 KiB/s
  sync();
  ASSERT_EQ(host->finishes.at(0).summary, "Installed");
  ASSERT_EQ(whole(), 0u);
  const auto sent = server.bytesSent();
  const double fetched = sent.at(path) + sent.at(path + std::string(".qhblocks"));
  double slept = 0;
  for (const double s : clock->sleeps()) slept += s;
  EXPECT_NEAR(slept, fetched / 262144, 0.03);

  // The large file counted what it fetched: the line after it shows the
  // step's speed (0.25 MB/s), not its size over the time.
  const std::string last = host->statuses.back();
  const std::string head = "Downloading 3 of 3   0.0 / 0.0 GB   ";
  ASSERT_TRUE(last.starts_with(head) && last.ends_with(" MB/s (limited)   almost done")) << last;
  EXPECT_LE(std::stod(last.substr(head.size())), 0.3) << last;
}

// Each way the map or the server can be wrong ends in a whole download of
// the published bytes, with no ".part" left and nothing else touched.
struct BadDelta {
  const char* name;
  std::function<void(DeltaTest&)> arrange;
  // What the log says stopped the delta: the defence that must have acted.
  const char* reason;
};

class DeltaFallbackTest : public DeltaTest, public ::testing::WithParamInterface<BadDelta> {};

TEST_P(DeltaFallbackTest, EndsInTheWholeDownload) {
  GetParam().arrange(*this);
  sync();
  ASSERT_EQ(host->finishes.size(), 1u) << host->status;
  EXPECT_TRUE(client() == build2);
  EXPECT_EQ(whole(), 1u);
  EXPECT_FALSE(partLeft());
  EXPECT_EQ(outside(), std::vector<std::string>{"outside"});
  EXPECT_EQ(host->details, std::vector<std::string>{""});
  // The file counts whole again: the track ends full, not past it.
  EXPECT_EQ(host->track.back(), 1.0);
  EXPECT_NE(slurp(dir / "state/launcher.log")
                .find("delta update of big.MPQ failed, downloading it whole: " +
                      std::string(GetParam().reason)),
            std::string::npos)
      << slurp(dir / "state/launcher.log");
}

INSTANTIATE_TEST_SUITE_P(
    Delta, DeltaFallbackTest,
    ::testing::Values(
        BadDelta{"MapWhoseChecksumsLie",
                 [](DeltaTest& t) {
                   // build 2's size and SHA-1 over build 1's blocks: the old
                   // file seems to hold them all.
                   BlockMap lie = BlockMap::parse(DeltaTest::mapOfBuild(2));
                   const BlockMap old = BlockMap::parse(DeltaTest::mapOfBuild(1));
                   std::copy_n(old.blocks.begin(), lie.blocks.size(), lie.blocks.begin());
                   t.publish(BlockMap::serialize(lie));
                 },
                 "Integrity check failed for big.MPQ (block map or old copy)"},
        BadDelta{"MapOfAnotherFile", [](DeltaTest& t) { t.publish(DeltaTest::mapOfBuild(1)); },
                 "block map refused: it describes another file"},
        BadDelta{"TruncatedMap",
                 [](DeltaTest& t) {
                   const std::string map = DeltaTest::mapOfBuild(2);
                   t.publish(map.substr(0, map.size() - 7));
                 },
                 "block map refused: 3277 bytes, not 3284"},
        BadDelta{"HugeMap",
                 [](DeltaTest& t) {
                   std::string map = DeltaTest::mapOfBuild(2);
                   map.resize(BlockMap::maxBytes + 1, '\0');
                   t.publish(map);
                 },
                 "Answer longer than 16777216 bytes"},
        BadDelta{"RangeAnsweredWithTheWholeFile",
                 [](DeltaTest& t) { t.server.fault(path, {.ignoreRange = true}, 1); },
                 "Status 200 for a range request"},
        BadDelta{"RangeAnsweredFromElsewhere",
                 [](DeltaTest& t) { t.server.fault(path, {.rangeEarly = 10}, 1); },
                 "Unexpected Content-Range \"bytes 1048566-1179647/17638137\" (asked for bytes "
                 "1048576-1179647)"},
        BadDelta{"OldFileChangedAfterItsScan",
                 [](DeltaTest& t) {
                   // The blocks past the first change are copied only after its range arrives.
                   t.server.fault(path,
                                  {.hook =
                                       [&t] {
                                         std::string changed = t.build1;
                                         changed[15 * mib] ^= 1;
                                         t.dir.write("client/" + std::string(rel), changed);
                                       }},
                                  1);
                 },
                 "Integrity check failed for big.MPQ (block map or old copy)"},
        BadDelta{"OldFileCutShortAfterItsScan",
                 [](DeltaTest& t) {
                   t.server.fault(
                       path, {.hook = [&t] { fs::resize_file(t.dir / "client" / rel, 5 * mib); }},
                       1);
                 },
                 "big.MPQ changed while being updated"}),
    [](const auto& info) { return std::string(info.param.name); });

// A full disk fails the delta and then the whole download as any download
// fails, the old file still in place. A quit in the middle of a delta leaves
// the old file and a ".part" that holds the new file's first bytes, from
// which the next start resumes.
TEST_F(DeltaTest, FullDiskFailsAsAnyDownloadAndAQuitResumesFromThePart) {
  sync(false, std::make_shared<FillingDisk>(3 * mib));
  EXPECT_EQ(host->status, "Couldn't fetch 1 file(s) - press RETRY (finished files are kept).");
  EXPECT_EQ(host->phase, Phase::needInstall);
  EXPECT_TRUE(client() == build1);
  EXPECT_NE(slurp(dir / "state/launcher.log").find("failed, downloading it whole: write "),
            std::string::npos);

  const fs::path part = dir / "client" / (std::string(rel) + ".part");
  fs::remove(part);
  const auto quit = std::make_shared<QuitPoint>(part, dir / "client" / rel, mib);
  sync(false, quit);
  EXPECT_TRUE(client() == build2);
  EXPECT_TRUE(quit->old == build1);
  ASSERT_EQ(quit->part.size(), mib);
  const std::string partAtQuit = quit->part;

  dir.write("client/" + std::string(rel), build1);
  dir.write("client/" + std::string(rel) + ".part", partAtQuit);
  sync(true);
  EXPECT_TRUE(client() == build2);
  ASSERT_EQ(server.requests(path).size(), 1u);
  EXPECT_EQ(server.requests(path)[0].header("Range"), "bytes=1048576-");
  EXPECT_EQ(outside(), std::vector<std::string>{"outside"});
}

}  // namespace

}  // namespace qh
