// The launcher's visibility while the game runs.
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>
#include <vector>

#include "platform/platform.h"

namespace qh::Platform {
namespace {

// The windows hideApplication() took away, so unhide brings back only those.
std::vector<QPointer<QWindow>>& hiddenWindows() {
  static std::vector<QPointer<QWindow>> windows;
  return windows;
}

bool graphical() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

void hideApplication() {
  if (!graphical()) return;
  for (QWindow* w : QGuiApplication::topLevelWindows()) {
    if (!w->isVisible()) continue;
    hiddenWindows().emplace_back(w);
    w->hide();
  }
}

void unhideApplication() {
  if (!graphical()) return;
  for (const QPointer<QWindow>& w : hiddenWindows()) {
    if (w) w->show();
  }
  hiddenWindows().clear();
}

void activateApplication() {
  if (!graphical()) return;
  for (QWindow* w : QGuiApplication::topLevelWindows()) {
    if (!w->isVisible()) continue;
    w->raise();
    w->requestActivate();
  }
}

}  // namespace qh::Platform
