// Program entry: the application object, the one model, the window, start-up.
#include <QGuiApplication>
#include <QWindow>

#include "app/demo_autopilot.h"
#include "core/log.h"
#include "core/qh.h"
#include "model/launcher_model.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Launcher");

  LauncherModel model;
  Log::line("launcher started, server " + model.paths().base);

  QWindow window;
  window.setTitle("Quellhaven");
  window.resize(900, 560);
  window.show();

  DemoAutopilot::attachIfRequested(model, &window);
  model.start();
  return app.exec();
}
