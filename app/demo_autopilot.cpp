#include "app/demo_autopilot.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMetaEnum>
#include <QPointer>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "core/text.h"
#include "model/launcher_model.h"
#include "platform/platform.h"

namespace qh::DemoAutopilot {
namespace {

struct Pilot {
  QElapsedTimer clock;
  bool stopAtReady = false;
  // Verify and repair at the first ready, then stop at the next.
  bool verify = false;
  bool verifyPressed = false;
  bool installPressed = false;
  bool playPressed = false;
  int shots = 0;
  // Pictures asked for so far; only the latest one is taken.
  int shotRequests = 0;
  QString shotDir;
  // The last status printed, its digits left out, and when: a download's
  // per-file counters would otherwise print a line per file.
  QString lastShape;
  qint64 lastAt = -1000000;
};

QString withoutDigits(QString text) {
  text.removeIf([](QChar c) { return c.isDigit(); });
  return text;
}

void print(const Pilot& pilot, const char* what, const QString& text) {
  const std::string out =
      line(static_cast<double>(pilot.clock.elapsed()) / 1000.0, what, text.toUtf8().toStdString());
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

QString phaseName(Phase phase) {
  return QString::fromLatin1(QMetaEnum::fromType<Phase>().valueToKey(static_cast<int>(phase)));
}

// The window as it looks now, once it had a moment to draw the change. A
// phase that is over before its picture is due gets none: the picture would
// show the next one.
void shoot(const std::shared_ptr<Pilot>& pilot, QPointer<QWindow> window, const QString& name) {
  if (pilot->shotDir.isEmpty() || !window) return;
  const int request = ++pilot->shotRequests;
  QTimer::singleShot(400, window, [pilot, window, name, request] {
    auto* quick = qobject_cast<QQuickWindow*>(window.data());
    if (!quick || request != pilot->shotRequests) return;
    const QString file = QStringLiteral("%1/%2-%3.png")
                             .arg(pilot->shotDir)
                             .arg(++pilot->shots, 2, 10, QLatin1Char('0'))
                             .arg(name);
    const QImage image = quick->grabWindow();
    if (!image.isNull() && image.save(file)) print(*pilot, "shot", file);
  });
}

void fail(const Pilot& pilot, const QString& why) {
  print(pilot, "FAILED", why);
  QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(1); });
}

void onPhase(LauncherModel* m, const std::shared_ptr<Pilot>& pilot, QPointer<QWindow> window) {
  print(*pilot, "phase", phaseName(m->phase()));
  shoot(pilot, window, phaseName(m->phase()));
  if (m->phase() == Phase::needInstall) {
    if (pilot->installPressed) return fail(*pilot, m->status() + " " + m->detail());
    pilot->installPressed = true;
    // After the picture of the install card, when pictures are taken.
    QTimer::singleShot(pilot->shotDir.isEmpty() ? 0 : 800, m, [m, pilot] {
      print(*pilot, "press", m->actionTitle());
      m->primaryAction();
    });
  } else if (m->phase() == Phase::ready) {
    if (pilot->verify && !pilot->verifyPressed) {
      pilot->verifyPressed = true;
      QTimer::singleShot(0, m, [m, pilot] {
        print(*pilot, "press", QStringLiteral("Verify and repair"));
        m->verifyRepair();
      });
      return;
    }
    if (pilot->stopAtReady || pilot->verify) {
      print(*pilot, "ready", m->status());
      // After the picture of the ready window, when pictures are taken.
      QTimer::singleShot(pilot->shotDir.isEmpty() ? 0 : 800, qApp,
                         [] { QCoreApplication::exit(0); });
      return;
    }
    if (pilot->playPressed) {
      // After a normal game session the model is ready for a moment and then
      // asks to quit; anything else that ends ready is a failure.
      QTimer::singleShot(0, m, [m, pilot] {
        if (Platform::terminationRequested()) {
          print(*pilot, "game", QStringLiteral("the game ended normally"));
        } else {
          fail(*pilot, m->status() + " " + m->detail());
        }
      });
      return;
    }
    pilot->playPressed = true;
    // After the picture of the ready window.
    QTimer::singleShot(800, m, [m, pilot] {
      print(*pilot, "press", m->actionTitle());
      const QString before = m->status();
      m->primaryAction();
      // PLAY leaves `ready` at once; a launcher that stays put would
      // otherwise keep the demo waiting until its time-out.
      QTimer::singleShot(10000, m, [m, pilot, before] {
        if (m->phase() == Phase::ready && m->status() == before) {
          fail(*pilot, QStringLiteral("pressing PLAY changed nothing"));
        }
      });
    });
  }
}

}  // namespace

std::string line(double seconds, std::string_view what, std::string_view text) {
  const std::string time = Text::fixed(seconds, 2);
  std::string out = "[" + std::string(time.size() < 7 ? 7 - time.size() : 0, ' ') + time + "s] ";
  out += what;
  if (what.size() < 6) out.append(6 - what.size(), ' ');
  out += ' ';
  out += text;
  out += '\n';
  return out;
}

void attachIfRequested(LauncherModel& model, QWindow* window) {
  if (!qEnvironmentVariableIsSet("QH_DEMO_AUTOPILOT")) return;
  auto pilot = std::make_shared<Pilot>();
  pilot->clock.start();
  pilot->stopAtReady = qEnvironmentVariable("QH_DEMO_AUTOPILOT") == QLatin1String("ready");
  pilot->verify = qEnvironmentVariable("QH_DEMO_AUTOPILOT") == QLatin1String("verify");
  pilot->shotDir = qEnvironmentVariable("QH_DEMO_SHOTS");
  if (!pilot->shotDir.isEmpty()) QDir().mkpath(pilot->shotDir);
  LauncherModel* m = &model;
  QPointer<QWindow> w(window);
  QObject::connect(m, &LauncherModel::statusChanged, m, [m, pilot] {
    const QString shape = withoutDigits(m->status());
    const qint64 now = pilot->clock.elapsed();
    if (shape == pilot->lastShape && now - pilot->lastAt < 1000) return;
    pilot->lastShape = shape;
    pilot->lastAt = now;
    print(*pilot, "status", m->status());
  });
  QObject::connect(m, &LauncherModel::detailChanged, m, [m, pilot] {
    if (!m->detail().isEmpty()) print(*pilot, "detail", m->detail());
  });
  QObject::connect(m, &LauncherModel::phaseChanged, m, [m, pilot, w] { onPhase(m, pilot, w); });
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, m,
                   [pilot] { print(*pilot, "quit", QStringLiteral("the launcher quits")); });
  print(*pilot, "start", QStringLiteral("server ") + QString::fromStdString(m->paths().base));
  shoot(pilot, w, QStringLiteral("start"));
}

}  // namespace qh::DemoAutopilot
