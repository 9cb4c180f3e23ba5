// bench-ui-start: process start to the first frame shown, for the launcher
// divided by the same for a minimal Qt Quick window with one rectangle, both
// under one private X server with software rendering (target ≤ 1.5). Each is
// started 12 times, alternating; the first pair warms caches and is dropped.
// The best times are compared: on a shared machine other work only ever adds
// to a start, so the fastest of several is the steadiest measure of each side.
// Both announce their first frame by appending a line; the launcher's log and
// kept pictures stay between starts, as a player's do.
// bench-ui-start [LAUNCHER]: another build's launcher instead of this one's,
// so two builds can be measured in turns on the same machine.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickView>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Xlib defines macros (Status, Bool) that break Qt headers: include it last.
#include "tests/support/xvfb_session.h"

namespace qh {

namespace {

// The reference program: one rectangle; marks its first frame in `marker`.
int reference(int argc, char** argv, const char* marker) {
  QGuiApplication app(argc, argv);
  QQuickView view;
  view.setResizeMode(QQuickView::SizeRootObjectToView);
  const fs::path qml = fs::path(marker).parent_path() / "reference.qml";
  std::ofstream(qml)
      << "import QtQuick\nRectangle { width: 900; height: 560; color: \"#0a0a0c\" }\n";
  view.setSource(QUrl::fromLocalFile(QString::fromStdString(qml.string())));
  QObject::connect(&view, &QQuickWindow::frameSwapped, &view,
                   [marker] { std::ofstream(marker, std::ios::app) << "first frame shown\n"; });
  view.show();
  return app.exec();
}

std::string slurp(const fs::path& file) {
  std::ifstream in(file);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t framesShown(const fs::path& marker) {
  const std::string text = slurp(marker);
  size_t count = 0;
  for (size_t at = text.find("first frame shown"); at != std::string::npos;
       at = text.find("first frame shown", at + 1))
    ++count;
  return count;
}

// Milliseconds from spawning `argv` until `marker` gains a "first frame shown".
double timeToFirstFrame(const std::vector<std::string>& args, const fs::path& marker) {
  const size_t before = framesShown(marker);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  QElapsedTimer t;
  t.start();
  const pid_t pid = fork();
  if (pid == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  double ms = -1;
  while (t.elapsed() < 60000) {
    if (framesShown(marker) > before) {
      ms = double(t.nsecsElapsed()) / 1e6;
      break;
    }
    usleep(2000);
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return ms;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double best(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--reference") return reference(argc, argv, argv[2]);

  XvfbSession x;
  if (!x.ok()) {
    std::fprintf(stderr, "bench-ui-start: Xvfb did not start\n");
    return 1;
  }
  char tmpl[] = "/tmp/qh-bench-start-XXXXXX";
  const fs::path home = mkdtemp(tmpl);
  fs::create_directories(home / "data/Quellhaven");
  // A closed port: the self-update check fails at once instead of waiting.
  std::ofstream(home / "data/Quellhaven/launcher.cfg") << "http://127.0.0.1:9\n";
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
  setenv("DISPLAY", x.display().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("QT_QUICK_BACKEND", "software", 1);

  const std::string launcherProgram = argc == 2 ? argv[1] : QH_LAUNCHER;
  const fs::path self = fs::canonical("/proc/self/exe");
  const fs::path refMarker = home / "reference.txt";
  const fs::path launcherLog = home / "data/Quellhaven/launcher.log";
  std::vector<double> launcher, ref;
  for (int i = 0; i < 12; ++i) {
    const double l = timeToFirstFrame({launcherProgram}, launcherLog);
    const double r =
        timeToFirstFrame({self.string(), "--reference", refMarker.string()}, refMarker);
    if (l < 0 || r < 0) {
      std::fprintf(stderr, "bench-ui-start: no first frame (launcher %.0f, reference %.0f)\n", l,
                   r);
      return 1;
    }
    if (i == 0) continue;
    launcher.push_back(l);
    ref.push_back(r);
  }
  std::error_code ec;
  fs::remove_all(home, ec);
  std::printf("first frame, medians of %zu: launcher %.1f ms, one-rectangle window %.1f ms\n",
              launcher.size(), median(launcher), median(ref));
  const double l = best(launcher);
  const double r = best(ref);
  std::printf("first frame, best of %zu: launcher %.1f ms, one-rectangle window %.1f ms\n",
              launcher.size(), l, r);
  std::printf("ratio: %.3f\n", l / r);
  return 0;
}
