// The real launcher under a private X server: it opens centred at its design
// size with its size limits, and a later start restores the frame it was
// closed with, held within those limits.
#include <gtest/gtest.h>

#include <QProcess>
#include <QThread>
#include <fstream>
#include <tuple>

#include "support/temp_dir.h"
#include "support/xvfb_session.h"
#include "tools/serve/static_server.h"

namespace qh {

namespace {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x.ok()) << "Xvfb did not start";
    site.write("game_version.txt", "3.3.5\n");
    server.bind("127.0.0.1", 0);
    server.start();
    home.write("data/Quellhaven/launcher.cfg", server.url() + "\n");
  }
  void TearDown() override { server.stop(); }

  // Starts the launcher and waits for its window.
  Window launch() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home.path().string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((home / "data").string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.path().string()));
    env.insert("DISPLAY", QString::fromStdString(x.display()));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_QUICK_BACKEND", "software");
    launcher.setProcessEnvironment(env);
    launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    launcher.start(QH_LAUNCHER, {});
    EXPECT_TRUE(launcher.waitForStarted(10000));
    Window w = 0;
    EXPECT_TRUE(XvfbSession::waitFor([&] { return (w = x.findWindow("Quellhaven")) != 0; }, 30000));
    return w;
  }

  // Closes the window as a user would and expects a clean exit.
  void closeWindow(Window w) {
    x.close(w);
    EXPECT_TRUE(launcher.waitForFinished(15000));
    EXPECT_EQ(launcher.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(launcher.exitCode(), 0);
  }

  std::string log() const { return slurp(home / "data/Quellhaven/launcher.log"); }

  XvfbSession x;
  TempDir home;
  TempDir site;
  StaticServer server{site.path()};
  QProcess launcher;
};

TEST_F(ShellTest, OpensCentredAndReopensWithTheClosedFrame) {
  Window w = launch();
  ASSERT_NE(w, 0u);
  XvfbSession::Frame f = x.frame(w);
  EXPECT_EQ(std::tuple(f.x, f.y, f.width, f.height),
            std::tuple((1920 - 900) / 2, (1080 - 560) / 2, 900, 560));

  XSizeHints hints = {};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(x.x(), w, &hints, &supplied));
  EXPECT_TRUE(hints.flags & PMinSize);
  EXPECT_TRUE(hints.flags & PMaxSize);
  EXPECT_EQ(std::tuple(hints.min_width, hints.min_height, hints.max_width, hints.max_height),
            std::tuple(760, 500, 1500, 1000));

  // Start-up runs after the first frame; its self-update check leaves a line.
  EXPECT_TRUE(
      XvfbSession::waitFor([&] { return log().find("selfupdate") != std::string::npos; }, 30000))
      << "start-up ran:\n"
      << log();
  EXPECT_NE(log().find("first frame shown"), std::string::npos);

  // Moved and resized as a user would, closed and started again. Without a
  // window manager nothing enforces the hints: the launcher sees a frame
  // beyond its limits and must still reopen within them.
  XMoveResizeWindow(x.x(), w, 120, 90, 1700, 1050);
  XFlush(x.x());
  EXPECT_TRUE(XvfbSession::waitFor([&] { return x.frame(w).width == 1700; }, 5000));
  closeWindow(w);
  const Window again = launch();
  ASSERT_NE(again, 0u);
  f = x.frame(again);
  const std::string settings = slurp(home / "config/Quellhaven/Quellhaven Launcher.conf");
  EXPECT_NE(settings.find("QuellhavenLauncherWindow"), std::string::npos) << settings;
  EXPECT_EQ(std::tuple(f.x, f.y, f.width, f.height), std::tuple(120, 90, 1500, 1000));
  closeWindow(again);
}

}  // namespace

}  // namespace qh
