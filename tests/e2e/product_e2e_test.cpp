// The whole product, as `make demo` runs it but served by nginx: the launcher
// bundle, driven by its autopilot in its own home, installs a published client
// (with a runtime and the launcher archive at the running build beside it),
// installs the runtime, prepares the Wine prefix, plays the stand-in game to
// its normal end and quits after it. A second start finds everything up to
// date and goes straight to ready.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "core/os_layout.h"
#include "core/qh.h"
#include "support/nginx.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "tools/sample/sample_client.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

constexpr const char* kRuntimeId = "qh-e2e-wine";

struct LauncherRun {
  int exitCode = -1;
  std::string out;
};

// Starts the bundle's launcher with `home` as its whole world and waits for it.
LauncherRun runLauncher(const fs::path& home, const QString& autopilot, int timeoutMs) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  const auto set = [&env](const char* key, const fs::path& value) {
    env.insert(QString::fromLatin1(key), QString::fromStdString(value.string()));
  };
  set("HOME", home);
  set("XDG_DATA_HOME", home / "data");
  set("XDG_CONFIG_HOME", home / "config");
  set("XDG_CACHE_HOME", home / "cache");
  set("XDG_RUNTIME_DIR", home / "run");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QT_QUICK_BACKEND", "software");
  env.insert("QH_DEMO_AUTOPILOT", autopilot);
  env.remove("QH_DEMO_SHOTS");
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  for (const char* inherited : {"WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "DXVK_HUD"}) {
    env.remove(QString::fromLatin1(inherited));
  }
  fs::create_directories(home / "run");
  fs::permissions(home / "run", fs::perms::owner_all);
  QProcess launcher;
  launcher.setProcessEnvironment(env);
  launcher.setProcessChannelMode(QProcess::MergedChannels);
  launcher.start(QStringLiteral(QH_BUNDLE "/Contents/MacOS/quellhaven-launcher"), {});
  LauncherRun run;
  if (!launcher.waitForFinished(timeoutMs)) {
    launcher.kill();
    launcher.waitForFinished();
  } else if (launcher.exitStatus() == QProcess::NormalExit) {
    run.exitCode = launcher.exitCode();
  }
  run.out = launcher.readAll().toStdString();
  return run;
}

// The position of "<what> <text>" in the autopilot's output, or npos.
size_t find(const std::string& out, const std::string& what, const std::string& text,
            size_t from = 0) {
  for (size_t at = out.find(text, from); at != std::string::npos; at = out.find(text, at + 1)) {
    const size_t line = out.rfind('\n', at) + 1;
    if (out.compare(line, 1, "[") == 0 && out.find(" " + what + " ", line) < at) return at;
  }
  return std::string::npos;
}

bool sameBytes(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::is_regular_file(b, ec) && fs::file_size(a, ec) == fs::file_size(b, ec) &&
         slurp(a) == slurp(b);
}

TEST(ProductEndToEnd, InstallPlayToTheEndThenUpToDate) {
  if (!Nginx::available()) GTEST_SKIP() << "no " << Nginx::binary;
  TempDir root;

  // What the server publishes: a 20 MB client shaped like the real one
  // around the stand-in game, a runtime over the system's Wine (stand-in wine
  // programs where there is none) and the launcher itself at the running build.
  const auto rels = SampleClient::generateShaped(root / "source", 20 << 20, 120, QH_GAME_EXE);
  const fs::path runtimeDir = root / "runtime" / kRuntimeId;
  const bool systemWine = SampleClient::writeRuntime(runtimeDir, false);
  std::cout << "runtime: " << (systemWine ? "the system's Wine" : "stand-in wine programs") << "\n";
  const auto published =
      runTool(QH_PUBLISH, {(root / "source").string(), (root / "www").string(), "--version",
                           "7.3.5", "--platform", osLayout().folder, "--runtime-id", kRuntimeId,
                           "--runtime", runtimeDir.string(), "--launcher-build",
                           std::to_string(QH::launcherBuild), "--launcher", QH_BUNDLE});
  ASSERT_EQ(published.exitCode, 0) << published.err;
  Nginx nginx(root / "www");
  ASSERT_TRUE(nginx.ok()) << nginx.errorLog();

  const fs::path home = root / "home";
  const fs::path support = home / "data/Quellhaven";
  const fs::path prefix = support / (std::string("prefix-") + kRuntimeId);
  fs::create_directories(support);
  std::ofstream(support / "launcher.cfg") << nginx.url() << "\n";

  // First start: nothing installed. INSTALL, PLAY, and the launcher quits
  // after the game's normal exit (15 s, past the 12 s of a crash).
  const LauncherRun first = runLauncher(home, "1", 900000);
  std::cout << first.out;
  // Leave no Wine server of the game's prefix behind, whatever happened.
  const fs::path installed = support / "runtime" / kRuntimeId;
  if (fs::exists(installed / kRuntimeId / "bin/wineserver")) {
    runTool("/usr/bin/env", {"WINEPREFIX=" + prefix.string(),
                             (installed / kRuntimeId / "bin/wineserver").string(), "-k"});
  }
  EXPECT_EQ(first.exitCode, 0) << first.out;
  EXPECT_EQ(first.out.find("FAILED"), std::string::npos);
  // Each step in this order, one after another.
  size_t at = 0;
  for (const auto& [what, text] : std::vector<std::pair<std::string, std::string>>{
           {"press", "INSTALL"},
           {"status", "Unpacking the compatibility layer..."},
           {"status", "Setting up the Windows environment"},
           {"status", "Installed - ready to play!"},
           {"press", "PLAY"},
           {"status", "Starting Quellhaven..."},
           {"status", "Quellhaven is running."},
           {"game", "the game ended normally"},
           {"quit", "the launcher quits"}}) {
    at = find(first.out, what, text, at);
    if (at == std::string::npos) {
      ADD_FAILURE() << "no " << what << " " << text << " after the steps before it";
      break;
    }
  }
  EXPECT_EQ(first.out.find("closed unexpectedly"), std::string::npos);

  // The install folder holds the published tree byte for byte; only the WDB
  // cache is gone, cleared after the update and again before play.
  const fs::path client = home / "Quellhaven";
  for (const std::string& rel : rels) {
    if (rel.starts_with("Cache/")) {
      EXPECT_FALSE(fs::exists(client / rel)) << rel;
    } else {
      EXPECT_TRUE(sameBytes(root / "source" / rel, client / rel)) << rel;
    }
  }
  // The client's configuration, written before play.
  EXPECT_FALSE(slurp(client / "WTF/Config.wtf").empty());
  EXPECT_EQ(slurp(client / "Data/enUS/realmlist.wtf"), "set realmlist " + QH::realmHost() + "\r\n");
  EXPECT_EQ(slurp(client / "WTF/Account/DEMO/AddOns.txt"),
            "QuellhavenUI: enabled\r\nQuest Helper: enabled\r\n");

  // The runtime: unpacked, marked complete, its archive gone.
  EXPECT_EQ(slurp(installed / ".qh_complete"), kRuntimeId);
  EXPECT_TRUE(sameBytes(runtimeDir / "bin/wine", installed / kRuntimeId / "bin/wine"));
  EXPECT_FALSE(fs::exists(support / "runtime" / (std::string(kRuntimeId) + ".tar.xz")));
  // The prefix: made by wineboot, marked, with the launcher's registry defaults.
  EXPECT_TRUE(fs::exists(prefix / (std::string(".qh_prefix_") + kRuntimeId)));
  EXPECT_TRUE(fs::is_directory(prefix / "drive_c/windows/syswow64"));
  if (systemWine) {
    EXPECT_TRUE(fs::is_regular_file(prefix / "drive_c/windows/system32/kernel32.dll"));
    EXPECT_NE(slurp(prefix / "user.reg").find("\"VideoMemorySize\"=\"2048\""), std::string::npos);
  }

  // The game ran its full course and said so; the launcher saw a normal run.
  const std::string log = slurp(support / "launcher.log");
  EXPECT_NE(log.find(std::string("launch: dxvk=false runtime=") + kRuntimeId), std::string::npos)
      << log;
  const size_t lived = log.find("game exited code=0 lived=");
  EXPECT_TRUE(lived != std::string::npos && std::atol(log.c_str() + lived + 25) >= 12) << log;
  const std::string clientLog = slurp(client / "Logs/client.log");
  EXPECT_NE(clientLog.find("client started"), std::string::npos) << clientLog;
  if (systemWine) {
    EXPECT_NE(clientLog.find("client exits with 0"), std::string::npos) << clientLog;
  }
  EXPECT_TRUE(fs::exists(client / "WTF/SavedVariables/QuellhavenIntegrity.lua"));

  // The bundle's shim sits beside the client.
  EXPECT_TRUE(sameBytes(fs::path(QH_BUNDLE "/Contents/Resources/shim/version.dll"),
                        client / "version.dll"));

  // Second start: the markers match the server and the layer is in place, so
  // nothing is compared, fetched, unpacked or booted again.
  const std::string wineLog = slurp(support / "wine.log");
  const LauncherRun second = runLauncher(home, "ready", 600000);
  std::cout << second.out;
  ASSERT_EQ(second.exitCode, 0) << second.out;
  ASSERT_NE(find(second.out, "ready", "Up to date - ready to play!"), std::string::npos);
  for (const char* slow : {"INSTALL", "Comparing files...", "Downloading", "Unpacking",
                           "Setting up the Windows environment", "isn't ready"}) {
    EXPECT_EQ(second.out.find(slow), std::string::npos) << slow;
  }
  EXPECT_EQ(slurp(support / "wine.log"), wineLog);
}

}  // namespace

}  // namespace qh
