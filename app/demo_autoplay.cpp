#include "app/demo_autoplay.h"

#include <QCoreApplication>
#include <QMetaEnum>
#include <QObject>
#include <QTimer>
#include <cstdio>

#include "model/launcher_model.h"

namespace DemoAutoplay {
namespace {

void print(const char* what, const QString& text) {
  std::printf("[demo] %-7s %s\n", what, text.toUtf8().constData());
  std::fflush(stdout);
}

}  // namespace

void attachIfRequested(LauncherModel& model) {
  if (!qEnvironmentVariableIsSet("QH_DEMO_AUTOPLAY")) return;
  auto* m = &model;
  QObject::connect(m, &LauncherModel::statusChanged, m, [m] { print("status", m->status()); });
  QObject::connect(m, &LauncherModel::detailChanged, m, [m] {
    if (!m->detail().isEmpty()) print("detail", m->detail());
  });
  auto pressed = std::make_shared<bool>(false);
  QObject::connect(m, &LauncherModel::phaseChanged, m, [m, pressed] {
    const char* name =
        QMetaEnum::fromType<LauncherPhase::Phase>().valueToKey(static_cast<int>(m->phase()));
    print("phase", QString::fromLatin1(name));
    if (m->phase() == Phase::ready) {
      QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    } else if (m->phase() == Phase::needInstall && !*pressed) {
      *pressed = true;
      print("press", m->actionTitle());
      QTimer::singleShot(0, m, [m] { m->primaryAction(); });
    } else if (m->phase() == Phase::needInstall) {
      QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(1); });
    }
  });
}

}  // namespace DemoAutoplay
