// Program entry: the application object, the one model, the window, start-up.
#include <QElapsedTimer>
#include <QGuiApplication>

#include "app/demo_autopilot.h"
#include "app/shell.h"
#include "core/log.h"
#include "model/launcher_model.h"
#include "ui/launcher_window.h"
#include "ui/theme.h"

int main(int argc, char** argv) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  QGuiApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Launcher");
  Shell::quitOnTerminate();

  LauncherModel model;
  Log::line("launcher started, server " + model.paths().base);

  Theme theme;
  LauncherWindow window(model, theme);
  Shell::logFirstFrame(window, sinceStart);
  Shell::restoreFrame(window);
  Shell::rememberFrame(window);
  Shell::installMenu(window);
  Shell::reopenOnActivate(window);
  window.show();
  Shell::styleWindow(window);

  DemoAutopilot::attachIfRequested(model, &window);
  Shell::startAfterFirstFrame(window, [&model] { model.start(); });
  return app.exec();
}
