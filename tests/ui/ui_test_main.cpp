// The window tests need a GUI application: offscreen, drawn by the software
// renderer so pixels are the same on every machine. Each run gets its own
// home, data and config folders like every other test binary.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <QQuickWindow>
#include <filesystem>
#include <string>

#include "ui/launcher_window.h"

int main(int argc, char** argv) {
  char tmpl[] = "/tmp/qh-test-home-XXXXXX";
  const char* home = mkdtemp(tmpl);
  if (!home) return 2;
  const std::string h = home;
  setenv("HOME", home, 1);
  setenv("XDG_DATA_HOME", (h + "/.local/share").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (h + "/.config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (h + "/.cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", h.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  QGuiApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Launcher Tests");
  LauncherWindow::prepareApplication();
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  std::error_code ec;
  std::filesystem::remove_all(h, ec);
  return rc;
}
