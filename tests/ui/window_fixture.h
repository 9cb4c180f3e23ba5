// A launcher window over a fresh model and support folder, rendered offscreen,
// with helpers to find its items and sample its pixels.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QColor>
#include <QImage>
#include <QQuickItem>
#include <fstream>
#include <memory>

#include "model/launcher_model.h"
#include "support/fake_services.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "ui/launcher_window.h"
#include "ui/theme.h"

namespace qh {

// Records the commands the window runs: QML finds a method by name on the
// object's own class first, so these stand in for LauncherModel's.
class RecordingModel : public LauncherModel {
  Q_OBJECT
 public:
  using LauncherModel::LauncherModel;
  int primaryActions = 0;
  int speedCycles = 0;
  int diagnosticsSaves = 0;
  Q_INVOKABLE void primaryAction() { ++primaryActions; }
  Q_INVOKABLE void cycleSpeedLimit() { ++speedCycles; }
  Q_INVOKABLE void saveDiagnostics() { ++diagnosticsSaves; }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const Paths paths{"http://127.0.0.1:9", home / "data/Quellhaven", home / "Quellhaven"};
    model = std::make_unique<RecordingModel>(paths, fakes.services());
  }

  // Opens the window with the built pictures or, with `pictures` false, with
  // none.
  void open(bool pictures = true) {
    open(pictures ? std::filesystem::path(QH_RESOURCES) : home / "no-resources");
  }
  // Opens the window with the pictures in `resources`.
  void open(const std::filesystem::path& resources) {
    window.reset();
    theme = std::make_unique<Theme>(resources, false);
    window = std::make_unique<LauncherWindow>(*model, *theme);
    window->resize(900, 560);
    window->showWhenLoaded();
    EXPECT_TRUE(spinUntil([&] { return window->isVisible() && !window->picturesLoading(); }));
    drainEvents();
  }

  // Renders the window once its pictures are in, keeps it as <name>.png in
  // the shots folder.
  QImage shot(const std::string& name) {
    drainEvents();
    EXPECT_TRUE(spinUntil([&] { return !window->picturesLoading(); }));
    QImage image = window->grabWindow();
    std::filesystem::create_directories(QH_UI_SHOTS);
    image.save(QString::fromStdString(std::string(QH_UI_SHOTS) + "/" + name + ".png"));
    return image;
  }

  QQuickItem* item(const char* name) const {
    auto* found = qobject_cast<QQuickItem*>(window->find(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QString textOf(const char* name) const { return item(name)->property("text").toString(); }
  bool visible(const char* name) const { return item(name)->isVisible(); }
  // Shown: made and visible. Parts made on first use count as not shown before.
  bool shown(const char* name) const {
    auto* found = qobject_cast<QQuickItem*>(window->find(name));
    return found && found->isVisible();
  }
  // The item's centre in window pixels.
  QPoint centre(const char* name) const {
    QQuickItem* i = item(name);
    return i->mapToScene(QPointF(i->width() / 2, i->height() / 2)).toPoint();
  }

  void driveTo(Phase phase, const QString& status = {}, std::optional<double> progress = {}) {
    model->setPhase(phase);
    model->setStatus(status);
    model->setProgress(progress);
    drainEvents();
  }

  void placeClient(const char* exe = "Wow.exe") {
    std::filesystem::create_directories(model->paths().installDir);
    std::ofstream(model->paths().installDir / exe) << "MZ";
  }

  TempDir home;
  FakeServices fakes;
  std::unique_ptr<RecordingModel> model;
  std::unique_ptr<Theme> theme;
  std::unique_ptr<LauncherWindow> window;
};

// Colour distance per channel.
inline int colourDistance(QColor a, QColor b) {
  return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                   std::abs(a.blue() - b.blue())});
}

}  // namespace qh
