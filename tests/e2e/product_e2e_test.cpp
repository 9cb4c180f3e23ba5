// The whole product, as `make demo` runs it but served by nginx: the launcher
// bundle, driven by its autopilot in its own home, installs a published client
// (with the launcher archive at the running build beside it) and configures
// it. A second start finds everything up to date.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <fstream>
#include <iostream>

#include "core/qh.h"
#include "support/nginx.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"
#include "tools/sample/sample_client.h"

namespace fs = std::filesystem;

namespace {

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

TEST(ProductEndToEnd, InstallThenUpToDate) {
  if (!Nginx::available()) GTEST_SKIP() << "no " << Nginx::binary;
  TempDir root;

  // What the server publishes: a 20 MB client shaped like the real one and
  // the launcher itself at the running build.
  const auto rels = SampleClient::generateShaped(root / "source", 20 << 20, 120, QH_GAME_EXE);
  const auto published =
      runTool(QH_PUBLISH,
              {(root / "source").string(), (root / "www").string(), "--version", "7.3.5",
               "--launcher-build", std::to_string(QH::launcherBuild), "--launcher", QH_BUNDLE},
              300000);
  ASSERT_EQ(published.exitCode, 0) << published.err;
  Nginx nginx(root / "www");
  ASSERT_TRUE(nginx.ok()) << nginx.errorLog();

  const fs::path home = root / "home";
  const fs::path support = home / "data/Quellhaven";
  fs::create_directories(support);
  std::ofstream(support / "launcher.cfg") << nginx.url() << "\n";

  // First start: nothing installed. INSTALL, then stop once ready.
  const LauncherRun first = runLauncher(home, "ready", 900000);
  std::cout << first.out;
  ASSERT_EQ(first.exitCode, 0) << first.out;
  const size_t install = find(first.out, "press", "INSTALL");
  EXPECT_NE(install, std::string::npos);
  EXPECT_NE(find(first.out, "ready", "Installed - ready to play!", install), std::string::npos);

  // The install folder holds the published tree byte for byte; only the WDB
  // cache is gone, cleared after the update.
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

  // Second start: the markers match the server, so no file is looked at or
  // fetched again.
  const LauncherRun second = runLauncher(home, "ready", 600000);
  std::cout << second.out;
  ASSERT_EQ(second.exitCode, 0) << second.out;
  EXPECT_NE(find(second.out, "ready", "Up to date - ready to play!"), std::string::npos);
  EXPECT_EQ(second.out.find("INSTALL"), std::string::npos);
  EXPECT_EQ(second.out.find("Downloading"), std::string::npos);
  EXPECT_EQ(second.out.find("Comparing files..."), std::string::npos);
}

}  // namespace
