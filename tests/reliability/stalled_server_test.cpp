// A server that accepts and then says nothing: every request of an update run
// gives up after the host's idle time-out with the transport's own message.
#include <gtest/gtest.h>

#include "core/log.h"
#include "faulty_server.h"
#include "support/fake_clock.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "update/fake_host.h"
#include "update/update_engine.h"

namespace fs = std::filesystem;

namespace {

using Kind = FaultyServer::Plan::Kind;

struct StallCase {
  const char* path;  // the request that stalls
  int64_t at;        // after this many body bytes; before the headers when < 0
};

class StalledServer : public ::testing::TestWithParam<StallCase> {};

TEST_P(StalledServer, EndsWithTheTimeOutAsTheProblem) {
  TempDir dir;
  dir.write("server/version.txt", "1.0\n");
  dir.write("server/manifest.txt",
            "0123456789012345678901234567890123456789\t4\tWow.exe\n"
            "0123456789012345678901234567890123456789\t4\tData/a.MPQ\n");
  dir.write("server/Wow.exe", "MZMZ");
  const StallCase c = GetParam();
  FaultyServer server(dir / "server", [&](const FaultyServer::Request& r, int64_t) {
    return r.path == c.path ? FaultyServer::Plan{Kind::stall, 0, c.at} : FaultyServer::Plan{};
  });
  auto host = std::make_shared<FakeHost>();
  host->paths_.base = server.url();
  host->paths_.installDir = dir / "client";
  host->paths_.stateDir = dir / "state";
  fs::create_directories(dir / "state");
  host->timing_.clock = std::make_shared<FakeClock>();
  host->timing_.requestIdleTimeout = 1.0;
  runTask(UpdateEngine::sync(host, false));
  EXPECT_EQ(host->status.rfind("Problem: Timeout was reached", 0), 0u) << host->status;
  EXPECT_EQ(host->detail, "Check your internet connection, then try again.");
  EXPECT_EQ(host->phase, Phase::needInstall);
}

INSTANTIATE_TEST_SUITE_P(Requests, StalledServer,
                         ::testing::Values(StallCase{"/version.txt", -1},
                                           StallCase{"/manifest.txt", 3}));

}  // namespace
