// The real engine and the real downloader against a real HTTP server, with a
// fake model and a fake clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "core/log.h"
#include "fake_host.h"
#include "net/hash.h"
#include "support/fake_clock.h"
#include "support/fake_transport.h"
#include "support/gate.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "update/update_engine.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

using ::testing::DoubleNear;
using ::testing::Pointwise;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "server");
    server.serveFolder(dir / "server");
    host = FakeHost::make(server.url(), dir / "client", dir / "state");
    host->timing_.clock = clock;
    Log::setFile(dir / "state/launcher.log");
  }
  void TearDown() override { Log::setFile(std::nullopt); }

  // Puts a file on the server and a line for it in the manifest.
  void publish(const std::string& rel, const std::string& bytes) {
    dir.write("server/" + rel, bytes);
    manifest += manifestLine(rel, bytes);
    writeManifest();
  }
  void writeManifest(const std::string& version = "1.0") {
    dir.write("server/manifest.txt", manifest);
    dir.write("server/version.txt", version + "\n");
  }
  void sync(bool force = false) {
    host->finishes.clear();
    host->statuses.clear();
    host->details.clear();
    runTask(UpdateEngine::sync(host, force));
  }
  std::string client(const std::string& rel) { return slurp(dir / ("client/" + rel)); }
  std::string errorLog() { return slurp(dir / "state/download_errors.log"); }
  // The targets (path and query) requested for `path`, or for every path.
  std::vector<std::string> targets(const std::string& path = "") {
    std::vector<std::string> out;
    for (const auto& r : path.empty() ? server.requests() : server.requests(path)) {
      out.push_back(r.target);
    }
    return out;
  }

  TempDir dir;
  TestServer server;
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  std::shared_ptr<FakeHost> host;
  std::string manifest;
};

// A first install; then the next start looks at no file, not even one a size
// comparison would find, and a forced verify finds even a wrong byte.
TEST_F(EngineTest, FirstInstallThenTheFastPathThenAForcedVerify) {
  publish("Wow.exe", "MZ-client");
  publish("Data/common.MPQ", std::string(300000, 'c'));
  publish("Interface/AddOns/Quests/Quests.toc", "## Title: Quests");
  for (int i = 0; i < 12; ++i) publish("Data/f" + std::to_string(i), std::string(1000, 'a' + i));
  sync();
  EXPECT_EQ(client("Wow.exe"), "MZ-client");
  EXPECT_EQ(client("Data/common.MPQ"), std::string(300000, 'c'));
  EXPECT_EQ(slurp(dir / "client/.qhversion"), "1.0");
  EXPECT_EQ(slurp(dir / "client/.qhmanifest"), manifest);
  EXPECT_EQ(host->clientFilesChanges, 1);
  ASSERT_EQ(host->finishes.size(), 1u);
  EXPECT_EQ(host->finishes[0].version, "1.0");
  EXPECT_EQ(host->finishes[0].summary, "Installed");
  EXPECT_TRUE(host->finishes[0].reconcile);
  EXPECT_EQ(host->addons, std::vector<std::string>{"Quests"});
  EXPECT_EQ(host->progress, 1.0);
  EXPECT_EQ(host->statuses[0], "Checking for updates...");
  EXPECT_EQ(host->statuses[1], "Reading file list...");
  EXPECT_EQ(host->statuses[2], "Comparing files...");
  EXPECT_TRUE(host->sawStatus("Downloading 15 of 15   0.0 / 0.0 GB"));
  const std::string sha = manifest.substr(manifest.find("\t300000") - 40, 8);
  EXPECT_EQ(targets("/Data/common.MPQ"), std::vector<std::string>{"/Data/common.MPQ?v=" + sha});
  EXPECT_EQ(errorLog(), "");
  std::string corrupt = client("Data/f7");
  corrupt[500] = 'X';
  dir.write("client/Data/f7", corrupt);
  dir.write("client/Data/f3", "changed size");
  server.clearRequests();
  sync(false);
  EXPECT_EQ(host->finishes.at(0).summary, "Up to date");
  EXPECT_EQ(host->clientFilesChanges, 1) << "nothing was downloaded";
  EXPECT_FALSE(host->sawStatus("Comparing files..."));
  EXPECT_EQ(targets().size(), 2u);
  EXPECT_EQ(client("Data/f3"), "changed size");
  sync(true);
  EXPECT_EQ(client("Data/f7"), std::string(1000, 'h'));
  EXPECT_EQ(client("Data/f3"), std::string(1000, 'd'));
  EXPECT_EQ(targets("/Data/f7").size(), 1u);
  // What the comparison found is kept for the diagnostics.
  const std::string found = slurp(dir / "state/last_comparison.txt");
  EXPECT_NE(found.find(" UTC: 2 file(s) different\nData/f3\nData/f7\n"), std::string::npos)
      << found;
  EXPECT_TRUE(host->sawStatus("Verifying files..."));
  EXPECT_TRUE(host->sawStatus("Verifying files... (10 of 15)"));
  EXPECT_EQ(host->finishes.at(0).summary, "Installed");
}

TEST_F(EngineTest, SizesDecideWithoutARecordedListThenTheRecordedChecksumsDo) {
  publish("Wow.exe", "MZ");
  publish("Data/a.MPQ", "aaaa");
  dir.write("client/Wow.exe", "ZM");  // same size, other bytes: no known checksum
  dir.write("client/Data/a.MPQ", "aaaa");
  dir.write("client/.qhversion", "1.0");
  sync();
  EXPECT_EQ(client("Wow.exe"), "ZM");
  EXPECT_TRUE(host->sawStatus("Comparing files..."));
  EXPECT_EQ(host->finishes.at(0).summary, "Up to date");
  EXPECT_EQ(slurp(dir / "client/.qhmanifest"), manifest);
  EXPECT_EQ(targets().size(), 2u);
  // The next version changes a.MPQ but not its size: its recorded checksum
  // tells, and the file whose checksum stayed is left alone.
  manifest.clear();
  publish("Wow.exe", "MZ");
  publish("Data/a.MPQ", "new!");
  writeManifest("1.1");
  server.clearRequests();
  sync();
  EXPECT_EQ(client("Data/a.MPQ"), "new!");
  EXPECT_EQ(client("Wow.exe"), "ZM");
  EXPECT_EQ(host->finishes.at(0).summary, "Installed");
}

// WTF files are supplied once and never replaced; the launcher's own files
// are never touched.
TEST_F(EngineTest, WtfFilesAreSuppliedOnceAndLauncherFilesNeverTouched) {
  publish("Wow.exe", "MZ");
  publish("WTF/Config.wtf", "SET gxWindow \"1\"\n");
  publish("wtf/Account/x.txt", "x");
  publish("Quellhaven.exe", "launcher");
  publish("Tools/QuellhavenLauncher-Setup.zip", "setup");
  dir.write("client/WTF/Config.wtf", "the player's own settings");
  sync(true);
  EXPECT_EQ(client("WTF/Config.wtf"), "the player's own settings");
  EXPECT_EQ(client("wtf/Account/x.txt"), "x");
  EXPECT_FALSE(fs::exists(dir / "client/Quellhaven.exe"));
  EXPECT_FALSE(fs::exists(dir / "client/Tools"));
}

// A file not on the server is skipped at once with one log line; a file the
// server fails is tried four times with growing waits and fails the run,
// markers unwritten. Once the server is well again, RETRY finishes.
TEST_F(EngineTest, AMissingFileIsSkippedAFailingOneRetriedThenReported) {
  publish("Wow.exe", "MZ");
  manifest += "0123456789abcdef0123456789abcdef01234567\t10\tData/gone.MPQ\n";
  publish("Data/bad.MPQ", "bad bytes");
  server.fault("/Data/bad.MPQ", {.status = 500}, 4);
  sync();
  EXPECT_EQ(targets("/Data/gone.MPQ").size(), 1u);
  const auto tries = targets("/Data/bad.MPQ");
  ASSERT_EQ(tries.size(), 4u);
  EXPECT_EQ(tries[0].find("&r="), std::string::npos);
  EXPECT_TRUE(tries[1].ends_with("&r=2"));
  EXPECT_TRUE(tries[3].ends_with("&r=4"));
  EXPECT_THAT(clock->waits(), Pointwise(DoubleNear(1e-9), {1.2, 2.4, 3.6}));
  EXPECT_EQ(host->details, (std::vector<std::string>{
                               "", "Retrying (1/3)...", "Retrying (2/3)...", "Retrying (3/3)...",
                               "Last error: HTTP 500 for " + server.url() + tries[3]}));
  const std::string log = errorLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 5);
  EXPECT_NE(log.find("  v3  attempt 1/4  Data/gone.MPQ  404 not on server, skipped\n"),
            std::string::npos);
  EXPECT_NE(log.find("attempt 4/4  Data/bad.MPQ  HTTP 500 for "), std::string::npos);
  EXPECT_EQ(host->status, "Couldn't fetch 1 file(s) - press RETRY (finished files are kept).");
  EXPECT_EQ(host->phase, Phase::needInstall);
  EXPECT_EQ(host->progress, 1.0);
  EXPECT_TRUE(host->finishes.empty());
  EXPECT_FALSE(fs::exists(dir / "client/.qhversion"));
  EXPECT_EQ(client("Wow.exe"), "MZ");
  sync();
  EXPECT_EQ(client("Data/bad.MPQ"), "bad bytes");
  EXPECT_EQ(clock->waits().size(), 3u);
  EXPECT_EQ(host->finishes.at(0).summary, "Ready (1 unavailable file(s) skipped)");
  EXPECT_EQ(slurp(dir / "client/.qhversion"), "1.0");
}

// One connection carries the run until the server closes it after a file,
// then until it writes stray bytes after one: the file whose answer they
// spoil is retried as any failed file is, and nothing that arrived whole is
// fetched again.
TEST_F(EngineTest, ADroppedOrSpoiltConnectionCostsOneRetryAndNoFinishedFile) {
  publish("Wow.exe", "MZ");
  for (const char* name : {"a", "b", "c", "d"}) {
    publish("Data/" + std::string(name) + ".MPQ", randomBytes(100000, name[0]));
  }
  server.fault("/Data/a.MPQ", {.closeAfterBody = true}, 1);
  // The stray bytes after b go out once c's request is on its way.
  Gate late;
  server.fault("/Data/b.MPQ",
               {.contentLength = 100000,
                .resize = 100020,
                .hook = [&] { late.wait(); },
                .hookAfter = 100000},
               1);
  std::atomic<int> files = 0;
  const auto net = std::make_shared<WatchedNetwork>([&] {
    if (++files == 4) late.open();
  });
  runTask(UpdateEngine::sync(host, false, net));
  for (const char* name : {"a", "b", "c", "d"}) {
    const std::string rel = "Data/" + std::string(name) + ".MPQ";
    EXPECT_EQ(client(rel), randomBytes(100000, name[0])) << rel;
    EXPECT_EQ(targets("/" + rel).size(), name[0] == 'c' ? 2u : 1u) << rel;
  }
  // Each connection's requests are recorded by its own server thread, in any order.
  const auto c = targets("/Data/c.MPQ");
  EXPECT_EQ(std::count_if(c.begin(), c.end(), [](const auto& t) { return t.ends_with("&r=2"); }),
            1);
  EXPECT_EQ(host->details, (std::vector<std::string>{"", "Retrying (1/3)..."}));
  const std::string log = errorLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
  EXPECT_NE(log.find("attempt 1/4  Data/c.MPQ  "), std::string::npos) << log;
  EXPECT_EQ(host->finishes.at(0).summary, "Installed");
  std::set<int> connections;
  for (const auto& r : server.requests()) connections.insert(r.port);
  EXPECT_EQ(connections.size(), 3u);
}

TEST_F(EngineTest, FailedRequestsSayWhyAndPickThePhaseByTheExecutable) {
  sync();  // no version.txt on the server
  EXPECT_EQ(host->status, "Problem: HTTP 404 for " + server.url() + targets()[0]);
  EXPECT_EQ(host->detail, "Check your internet connection, then try again.");
  EXPECT_EQ(host->phase, Phase::needInstall);
  dir.write("client/Wow.exe", "MZ");
  sync();
  EXPECT_EQ(host->phase, Phase::ready);
  EXPECT_TRUE(host->finishes.empty());
}

struct BadServerCase {
  const char* name;
  std::string version;
  std::string manifest;
  const char* problem;
};

class BadServerAnswers : public EngineTest, public ::testing::WithParamInterface<BadServerCase> {};

TEST_P(BadServerAnswers, EndInAProblemAndWriteNothing) {
  dir.write("server/version.txt", GetParam().version);
  dir.write("server/manifest.txt", GetParam().manifest);
  sync();
  EXPECT_EQ(host->status, std::string("Problem: ") + GetParam().problem);
  EXPECT_EQ(host->phase, Phase::needInstall);
  EXPECT_FALSE(fs::exists(dir / "client/.qhversion"));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BadServerAnswers,
    ::testing::Values(BadServerCase{"EmptyManifest", "1.0", "",
                                    "The server's file list is empty or unreadable."},
                      BadServerCase{"HtmlVersion", "<html><body>Sign in to Wi-Fi</body></html>",
                                    "x\t1\tWow.exe\n",
                                    "The server sent a web page instead of the client version."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, AFolderWhereAFileBelongsIsAClearFailure) {
  publish("Wow.exe", "MZ");
  publish("Data/a.MPQ", "aaaa");
  dir.write("client/Data/a.MPQ/inside.txt", "a folder in the way");
  sync();
  EXPECT_EQ(host->status, "Couldn't fetch 1 file(s) - press RETRY (finished files are kept).");
  EXPECT_NE(host->detail.find("a.MPQ"), std::string::npos) << host->detail;
  EXPECT_EQ(slurp(dir / "client/Data/a.MPQ/inside.txt"), "a folder in the way");
}

TEST_F(EngineTest, HostileManifestPathsChangeNothingOutside) {
  dir.write("outside/victim.txt", "untouched");
  fs::create_directories(dir / "client");
  fs::create_symlink(dir / "outside", dir / "client/link");
  publish("Wow.exe", "MZ");
  const std::string sha = "0123456789abcdef0123456789abcdef01234567";
  for (const std::string rel :
       {"../outside/victim.txt", "/etc/hostname", "C:/outside/victim.txt", "Data/../../x.txt",
        "Data//x", "link/victim.txt", "link/new.txt", "Interface/AddOns/../../../x/y"}) {
    manifest += sha + "\t4\t" + rel + "\n";
  }
  writeManifest();
  sync(true);
  EXPECT_EQ(slurp(dir / "outside/victim.txt"), "untouched");
  std::vector<std::string> outside;
  for (const auto& e : fs::recursive_directory_iterator(dir / "outside")) {
    outside.push_back(e.path().filename().string());
  }
  EXPECT_EQ(outside, std::vector<std::string>{"victim.txt"});
  EXPECT_FALSE(fs::exists(dir / "x.txt"));
  EXPECT_EQ(targets().size(), 3u);  // version, manifest, Wow.exe
  const std::string log = slurp(dir / "state/launcher.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 8) << log;
  EXPECT_NE(log.find("skipped unsafe manifest path \"link/victim.txt\": leads outside the install"),
            std::string::npos);
  EXPECT_EQ(host->finishes.at(0).summary, "Installed");
  EXPECT_TRUE(host->addons.empty());
}

TEST(FileUrl, EncodesEveryByteOfThePathThatIsNotPlain) {
  const ManifestEntry e{"ABCDEF0123456789", 1, "Data/a b#%+\xC3\xA9?/x\ty.MPQ"};
  EXPECT_EQ(UpdateEngine::fileUrl("http://h", e, 1),
            "http://h/Data/a%20b%23%25+%C3%A9%3F/x%09y.MPQ?v=ABCDEF01");
}

}  // namespace

}  // namespace qh
