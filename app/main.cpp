// Program entry: the application object, the one model, the window, start-up.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThreadPool>

#include "app/command_line.h"
#include "app/demo_autopilot.h"
#include "app/shell.h"
#include "core/log.h"
#include "core/own_threads.h"
#include "core/quitting.h"
#include "model/launcher_model.h"
#include "net/downloader.h"
#include "platform/platform.h"
#include "ui/launcher_window.h"
#include "ui/theme.h"

using namespace qh;

int main(int argc, char** argv) {
  if (const auto status = CommandLine::run(argc, argv)) return *status;
  QElapsedTimer sinceStart;
  sinceStart.start();
  JoiningThread fonts = Platform::readFontsAhead();
  QGuiApplication app(argc, argv);
  CommandLine::nameApplication();
  Shell::quitOnTerminate();

  // The pictures are made on other threads while the model and the window
  // are built.
  Theme theme;
  const QRect frame = Shell::savedFrame();
  GlowImages* const pictures =
      LauncherWindow::startPictures(theme, frame.size(), Shell::picturesFolder());

  Paths paths = Paths::load();
  Log::setFile(paths.stateDir / "launcher.log");
  Log::line("launcher started, server " + paths.base);
  paths.releaseKeys = ReleaseKeys::fromBundle();
  RealServices services;
  LauncherModel model(paths, services.services());

  // The window's first text reads the font configuration: it must be the
  // one made ahead, not a second one Qt would load meanwhile.
  fonts.join();
  LauncherWindow window(model, theme, pictures, frame.size());
  Shell::logFirstFrame(window, sinceStart);
  window.setGeometry(frame);
  Shell::rememberFrame(window);
  Shell::installMenu(window);
  Shell::reopenOnRequest(window);
  Shell::showPanelHints();
  window.showWhenLoaded();
  Shell::styleWindow(window);

  DemoAutopilot::attachIfRequested(model, &window);
  Shell::startAfterFirstFrame(window, [&model] { model.start(); });
  const int code = app.exec();
  // Downloads run on threads of their own; stop them before the process ends
  // so each leaves a ".part" the next start resumes. A transfer notices within
  // about a second, a checksum at its next chunk.
  constexpr double quitTransferWait = 5.0;
  Quitting::begin();
  if (!Downloader::cancelAll(quitTransferWait)) {
    Log::line("quitting with a download still running");
  }
  // No thread may outlive main(): one still running while the model, the
  // services and then the statics are destroyed would use what they freed.
  // Each stops at its next check (a transfer, a checksum's next read, a
  // child's wait); the game keeps running.
  OwnThreads::stopAll();
  QThreadPool::globalInstance()->waitForDone();
  return code;
}
