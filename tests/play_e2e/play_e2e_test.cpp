// PLAY end to end with the system's wine: install a published client through
// the model, let it download and unpack a runtime archive that wraps the
// system's wine, prepare the prefix, then launch the stand-in client twice:
// once crashing early, once playing to the end.
#include <gtest/gtest.h>

#include <iostream>

#include "compat/runtime.h"
#include "core/log.h"
#include "model/launcher_model.h"
#include "net/net.h"
#include "support/fake_clock.h"
#include "support/qt_wait.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "tools/serve/static_server.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSlow = 900000;  // wineboot on a loaded machine

// The shim the launcher ships; without it Wine's own version.dll stands in as
// the native DLL beside the client, and there is no shim log to look at.
std::optional<fs::path> shimSource() {
#ifdef QH_SHIM_DLL
  return fs::path(QH_SHIM_DLL);
#else
  for (const char* candidate : {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/version.dll",
                                "/usr/lib/wine/x86_64-windows/version.dll"}) {
    if (fs::exists(candidate)) return fs::path(candidate);
  }
  return std::nullopt;
#endif
}

TEST(PlayE2E, InstallThenCrashEarlyThenPlayToTheEnd) {
  if (!fs::exists("/usr/bin/wine")) GTEST_SKIP() << "no wine installed";
  const auto shim = shimSource();
  if (!shim) GTEST_SKIP() << "no version.dll to stand in for the shim";
  const bool wow64 = fs::exists("/usr/lib/wine/wine");
  std::cout << "wine: " << (wow64 ? "32- and 64-bit" : "64-bit only (wine64)") << "\n";

  TempDir home;
  setenv("HOME", home.path().c_str(), 1);
  setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);

  // The published client and the runtime archive.
  fs::create_directories(home / "source");
  fs::copy_file(QH_GAME_EXE, home / "source/QuellhavenGame.exe");
  home.write("source/Data/readme.txt", "stand-in client\n");
  const auto published =
      runTool(QH_PUBLISH, {(home / "source").string(), (home / "www").string(), "--version", "5"});
  ASSERT_EQ(published.exitCode, 0) << published.err;
  writeExecutable(home / "pack/qh-test-wine/bin/wine", "#!/bin/sh\nexec /usr/bin/wine \"$@\"\n");
  writeExecutable(home / "pack/qh-test-wine/bin/wineserver",
                  "#!/bin/sh\nexec /usr/bin/wineserver \"$@\"\n");
  fs::create_directories(home / "www/mac/runtime");
  const auto packed =
      runTool("/usr/bin/tar", {"-cJf", (home / "www/mac/runtime/qh-test-wine.tar.xz").string(),
                               "-C", (home / "pack").string(), "qh-test-wine"});
  ASSERT_EQ(packed.exitCode, 0) << packed.err;
  home.write("www/mac/runtime.txt",
             "wine_id=qh-test-wine\nwine_url=runtime/qh-test-wine.tar.xz\nwine_sha256=\n"
             "wine_bin=qh-test-wine/bin/wine\n");
  StaticServer server(home / "www");
  ASSERT_GT(server.bind("127.0.0.1", 0), 0);
  server.start();

  TempDir bundle;
  fs::create_directories(bundle / "shim");
  fs::copy_file(*shim, bundle / "shim/version.dll");

  auto clock = std::make_shared<FakeClock>();
  Timing timing;
  timing.clock = clock;
  std::vector<std::string> events;
  ModelServices services;
  services.getString = [](std::string url) { return Net::getString(std::move(url)); };
  services.sync = &LauncherModel::runUpdateEngine;
  services.prepareRuntime = &LauncherModel::runRuntimePreparation;
  services.resourcesDir = [&bundle]() -> std::optional<fs::path> { return bundle.path(); };
  services.hideApp = [&events] { events.push_back("hide"); };
  services.unhideApp = [&events] { events.push_back("unhide"); };
  services.activateApp = [&events] { events.push_back("activate"); };
  services.quitApp = [&events] { events.push_back("quit"); };
  LauncherModel model(services, timing);
  model.paths().base = server.url();
  const fs::path state = model.paths().stateDir;
  const fs::path client = home / "Games/Quellhaven";

  model.setPhase(Phase::needInstall);
  model.setInstallPath(QString::fromStdString(client.string()));
  model.primaryAction();
  ASSERT_TRUE(spinUntil([&] { return model.phase() != Phase::working; }, kSlow));
  ASSERT_EQ(model.status(), "Installed - ready to play!") << model.detail().toStdString();
  ASSERT_TRUE(model.runtime()->prefixReady());
  EXPECT_TRUE(fs::is_directory(state / "prefix-qh-test-wine/drive_c/windows"));

  // An early crash: exit code 3 right away.
  home.write("Games/Quellhaven/qh_exit.txt", "0 3\n");
  model.primaryAction();
  EXPECT_EQ(model.phase(), Phase::working);
  ASSERT_TRUE(
      spinUntil([&] { return model.game() != nullptr || model.phase() != Phase::working; }, kSlow));
  ASSERT_TRUE(spinUntil([&] { return model.phase() != Phase::working; }, kSlow));
  EXPECT_EQ(model.status(), "The game closed unexpectedly - press PLAY to try again.")
      << model.detail().toStdString();
  EXPECT_EQ(model.phase(), Phase::ready);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events.back(), "activate");
  std::string log = slurp(state / "launcher.log");
  EXPECT_NE(log.find("launch: dxvk=false runtime=qh-test-wine"), std::string::npos) << log;
  EXPECT_NE(log.find("game exited code=3 lived=4s"), std::string::npos) << log;
  EXPECT_NE(slurp(client / "Logs/client.log").find("client started"), std::string::npos);
  EXPECT_EQ(slurp(client / "version.dll"), slurp(*shim));
  EXPECT_TRUE(fs::exists(client / "WTF/SavedVariables/QuellhavenIntegrity.lua"));
#ifdef QH_SHIM_DLL
  EXPECT_FALSE(slurp(client / "Logs/qhshim.log").empty());
#endif

  // A full session: the fake clock says 14 s have passed when it ends.
  home.write("Games/Quellhaven/qh_exit.txt", "2 0\n");
  { std::ofstream(state / "wine.log", std::ios::app) << "left from before\n"; }
  events.clear();
  model.primaryAction();
  ASSERT_TRUE(
      spinUntil([&] { return model.game() != nullptr || model.phase() != Phase::working; }, kSlow));
  ASSERT_TRUE(model.game());
  clock->advance(10.0);
  ASSERT_TRUE(spinUntil([&] { return model.phase() != Phase::working; }, kSlow));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), "quit");
  log = slurp(state / "launcher.log");
  EXPECT_NE(log.find("game exited code=0 lived=14s"), std::string::npos) << log;
  EXPECT_EQ(slurp(state / "wine.log").find("left from before"), std::string::npos);
  // Both runs went the whole way through the client: started, exited as told.
  const std::string client_log = slurp(client / "Logs/client.log");
  size_t runs = 0;
  for (size_t at = client_log.find("client started"); at != std::string::npos;
       at = client_log.find("client started", at + 1)) {
    ++runs;
  }
  EXPECT_EQ(runs, 2u) << client_log;
  const size_t second = client_log.rfind("client started");
  EXPECT_LT(client_log.find("client exits with 3"), second) << client_log;
  EXPECT_NE(client_log.find("client exits with 0", second), std::string::npos) << client_log;
  server.stop();
  // Leave no wineserver behind.
  QCoro::Task<> kill = model.runtime()->killWine();
  runTask(std::move(kill));
}

}  // namespace
