// A server that accepts and then says nothing: every request of an update run
// gives up after the host's idle time-out with the transport's own message.
#include <gtest/gtest.h>

#include "core/log.h"
#include "core/paths.h"
#include "selfupdate/self_update.h"
#include "support/fake_clock.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "update/fake_host.h"
#include "update/update_engine.h"

namespace fs = std::filesystem;

namespace {

struct StallCase {
  const char* path;                 // the request that stalls
  std::optional<size_t> bodyBytes;  // after this many body bytes; before the headers when none
};

class StalledServer : public ::testing::TestWithParam<StallCase> {};

// Stalls `path` of a server that serves `folder`, as `c` says.
void stallOn(TestServer& server, const fs::path& folder, const StallCase& c) {
  server.serveFolder(folder);
  if (c.bodyBytes) {
    server.fault(c.path, {.stallAfter = c.bodyBytes});
  } else {
    server.fault(c.path, {.hook = [&server] { server.stall(); }});
  }
}

TEST_P(StalledServer, EndsWithTheTimeOutAsTheProblem) {
  TempDir dir;
  dir.write("server/version.txt", "1.0\n");
  dir.write("server/manifest.txt",
            "0123456789012345678901234567890123456789\t4\tWow.exe\n"
            "0123456789012345678901234567890123456789\t4\tData/a.MPQ\n");
  dir.write("server/Wow.exe", "MZMZ");
  TestServer server;
  stallOn(server, dir / "server", GetParam());
  auto host = FakeHost::make(server.url(), dir / "client", dir / "state");
  host->timing_.requestIdleTimeout = 1.0;
  runTask(UpdateEngine::sync(host, false));
  EXPECT_EQ(host->status.rfind("Problem: Timeout was reached", 0), 0u) << host->status;
  EXPECT_EQ(host->detail, "Check your internet connection, then try again.");
  EXPECT_EQ(host->phase, Phase::needInstall);
}

INSTANTIATE_TEST_SUITE_P(Requests, StalledServer,
                         ::testing::Values(StallCase{"/version.txt", std::nullopt},
                                           StallCase{"/manifest.txt", 3}));

// The launcher's own version check waits no longer than the host allows
// either; curl's message names the idle time it was given.
TEST(StalledServer, TheLauncherVersionCheckKeepsTheIdleTimeOut) {
  TempDir dir;
  dir.write("server/mac/launcher_version.txt", "999\n");
  TestServer server;
  stallOn(server, dir / "server", {"/mac/launcher_version.txt", std::nullopt});
  Paths paths;
  paths.base = server.url();
  paths.installDir = dir / "client";
  paths.stateDir = dir / "state";
  fs::create_directories(paths.stateDir);
  Timing timing;
  timing.clock = std::make_shared<FakeClock>();
  timing.requestIdleTimeout = 1.0;
  std::vector<std::string> notices;
  runTask(SelfUpdate::run(
      paths, [&](std::string s) { notices.push_back(std::move(s)); }, timing));
  const std::string record = slurp(dir / "state/selfupdate_last_error.txt");
  EXPECT_NE(record.find("the last 1 seconds"), std::string::npos) << record;
  EXPECT_TRUE(notices.empty());
}

}  // namespace
