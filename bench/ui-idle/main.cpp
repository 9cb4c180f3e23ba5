// bench-ui-idle: the launcher window in `ready`, idle under a private X server
// with software rendering. Prints the process's CPU time over 20 s divided by
// 20 s of one core (target ≤ 0.05): the ambient animation must stay cheap.
#include <stdlib.h>
#include <sys/resource.h>

#include <QEventLoop>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "model/launcher_model.h"
#include "ui/launcher_window.h"
#include "ui/theme.h"

// Xlib defines macros (Status, Bool) that break Qt headers: include it last.
#include "tests/support/xvfb_session.h"

namespace qh {

namespace {

double cpuSeconds() {
  rusage u = {};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs an event loop for `seconds` of real time (the application's own would
// close the window when it quits).
void run(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  XvfbSession x;
  if (!x.ok()) {
    std::fprintf(stderr, "bench-ui-idle: Xvfb did not start\n");
    return 1;
  }
  char tmpl[] = "/tmp/qh-bench-ui-XXXXXX";
  const std::filesystem::path home = mkdtemp(tmpl);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  setenv("DISPLAY", x.display().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);

  QGuiApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Launcher Bench");
  RealServices services;
  LauncherModel model(Paths::load(), services.services());
  model.setPhase(Phase::ready);
  model.setStatus("Up to date - ready to play!");
  model.setDetail("Version 3.3.5    " + QString::fromStdString((home / "Quellhaven").string()));
  model.setProgress(1.0);
  Theme theme;
  LauncherWindow window(model, theme);
  int frames = 0;
  QObject::connect(&window, &QQuickWindow::frameSwapped, [&] { ++frames; });
  window.show();

  run(3.0);  // settle: first frames, pictures, glyph caches
  const double window_s = 20.0;
  const double before = cpuSeconds();
  frames = 0;
  run(window_s);
  const double used = cpuSeconds() - before;
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
  std::printf("cpu: %.3f s over %.0f s, %d frames (%.1f per second)\n", used, window_s, frames,
              frames / window_s);
  std::printf("ratio: %.4f\n", used / window_s);
  return 0;
}
