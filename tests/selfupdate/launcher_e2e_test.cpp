// The built launcher bundle, copied to a temporary folder and started for
// real, finds build 4 on the server, swaps itself, quits, and the relaunch
// shell starts the new bundle's stub.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include "bundle_fixture.h"
#include "core/os_layout.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "tools/publish/launcher_archive.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

TEST(LauncherSelfUpdate, TheBuiltLauncherReplacesItselfAndRelaunches) {
  TempDir root;
  const std::string app = "Quellhaven Launcher.app";
  const fs::path running = root / "Applications" / app;
  fs::create_directories(running.parent_path());
  fs::copy(fs::path(QH_BUILD_DIR) / app, running,
           fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  const auto published = makeBundle(root / "published", app, QH_BUNDLE_ID_VALUE, "build 4");
  LauncherArchive::publish(published, 4, root / "www", buildOs);
  TestServer server;
  server.serveFolder(root / "www");
  root.write("data/Quellhaven/launcher.cfg", server.url() + "\n");

  QProcess launcher;
  auto env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QString::fromStdString((root / "home").string()));
  env.insert("XDG_DATA_HOME", QString::fromStdString((root / "data").string()));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QH_STUB_RECORD", QString::fromStdString((root / "started.txt").string()));
  launcher.setProcessEnvironment(env);
  launcher.setProgram(
      QString::fromStdString((running / "Contents/MacOS/quellhaven-launcher").string()));
  launcher.setStandardOutputFile(QProcess::nullDevice());
  launcher.setStandardErrorFile(QProcess::nullDevice());
  launcher.start();
  ASSERT_TRUE(launcher.waitForStarted(10000));
  // It quits by itself once the new bundle is in place.
  const bool quit = launcher.waitForFinished(60000);
  if (!quit) launcher.kill();
  ASSERT_TRUE(quit) << slurp(root / "data/Quellhaven/launcher.log");
  EXPECT_EQ(launcher.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(launcher.exitCode(), 0);

  EXPECT_EQ(treeOf(running), treeOf(published));
  EXPECT_EQ(slurp(root / "data/Quellhaven/selfupdate_target.txt"), "4");
  EXPECT_FALSE(fs::exists(root / "data/Quellhaven/selfupdate_last_error.txt"));
  const fs::path backup = running.parent_path() / (app + ".old");
  EXPECT_TRUE(spinUntil(
      [&] { return slurp(root / "started.txt") == "build 4 started\n" && !fs::exists(backup); },
      15000))
      << slurp(root / "started.txt");
}

}  // namespace

}  // namespace qh
