// The window tests need a GUI application: offscreen, drawn by the software
// renderer so pixels are the same on every machine.
#include <stdlib.h>

#include <QGuiApplication>
#include <QQuickWindow>

#include "platform/platform.h"
#include "support/test_main.h"
#include "ui/launcher_window.h"

namespace qh {

namespace {

std::unique_ptr<QCoreApplication> makeGuiApplication(int& argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The launcher's own font configuration, so the window is drawn in the
  // faces it ships with.
  Platform::readFontsAhead().join();
  QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  auto app = std::make_unique<QGuiApplication>(argc, argv);
  LauncherWindow::prepareApplication();
  return app;
}

[[maybe_unused]] const bool registered = testsupport::setApplicationFactory(makeGuiApplication);

}  // namespace

}  // namespace qh
