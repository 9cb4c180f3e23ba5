#include "model/launcher_model.h"

#include <QMetaObject>
#include <filesystem>

#include "core/async.h"
#include "core/log.h"
#include "core/text.h"
#include "net/net.h"
#include "net/speed_limit.h"
#include "platform/platform.h"

namespace qh {

namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

LauncherModel::LauncherModel(ModelServices services, Timing timing, QObject* parent)
    : QObject(parent), services_(std::move(services)), timing_(std::move(timing)) {
  speedStep_ = SpeedLimit::step();
  paths_ = Paths::load();
  installPath_ = QString::fromStdString(paths_.installDir.string());
  Log::setFile(paths_.stateDir / "launcher.log");
}

LauncherModel::~LauncherModel() = default;

QString LauncherModel::actionTitle() const {
  switch (phase_) {
    case Phase::working:
      return QStringLiteral("WORKING.");
    case Phase::ready:
      return QStringLiteral("PLAY");
    case Phase::needInstall:
      break;
  }
  std::error_code ec;
  return std::filesystem::exists(paths_.gameExe(), ec) ? QStringLiteral("RETRY")
                                                       : QStringLiteral("INSTALL");
}

void LauncherModel::setPhase(Phase phase) {
  if (phase_ == phase) return;
  phase_ = phase;
  emit phaseChanged();
  emit actionTitleChanged();
}

void LauncherModel::setStatus(const QString& status) {
  if (status_ == status) return;
  status_ = status;
  emit statusChanged();
}

void LauncherModel::setDetail(const QString& detail) {
  if (detail_ == detail) return;
  detail_ = detail;
  emit detailChanged();
}

void LauncherModel::setProgress(std::optional<double> progress) {
  if (progress_ == progress) return;
  progress_ = progress;
  emit progressChanged();
}

void LauncherModel::setInstallPath(const QString& path) {
  if (installPath_ == path) return;
  installPath_ = path;
  emit installPathChanged();
}

void LauncherModel::setSpeedStep(int step) {
  if (speedStep_ == step) return;
  speedStep_ = step;
  emit speedStepChanged();
}

void LauncherModel::showAlert(const QString& title, const QString& body) {
  alert_ = Alert{title, body};
  emit alertChanged();
}

void LauncherModel::dismissAlert() {
  if (!alert_) return;
  alert_.reset();
  emit alertChanged();
}

StatusCallback LauncherModel::reporter() {
  // Always queued, also from the main thread, so reports land in call order.
  return [self = QPointer<LauncherModel>(this)](const std::string& status,
                                                std::optional<double> progress) {
    postIfAlive(self, [s = q(status), progress](LauncherModel& model) {
      model.setStatus(s);
      model.setProgress(progress);
    });
  };
}

void LauncherModel::start() {
  if (started_) return;
  started_ = true;
  QMetaObject::invokeMethod(
      this, [this] { startDetached(startUp(), "start-up"); }, Qt::QueuedConnection);
}

QCoro::Task<> LauncherModel::startUp() {
  if (services_.selfUpdate) {
    std::function<void(std::string)> notice =
        [self = QPointer<LauncherModel>(this)](std::string message) {
          postIfAlive(self, [m = q(message)](LauncherModel& model) { model.setStatus(m); });
        };
    // g++ 12 may destroy temporaries of a co_await expression twice: build
    // arguments and tasks as named locals first.
    QCoro::Task<> update = services_.selfUpdate(paths_, notice);
    co_await update;
    // A swapped launcher has asked to quit; the new one does the rest.
    if (Platform::terminationRequested()) co_return;
  }
  startDetached(loadGameVersion(), "game version");
  if (services_.resolveRuntimeSpec) {
    QCoro::Task<> resolve = services_.resolveRuntimeSpec(*this);
    co_await resolve;
  }
  std::error_code ec;
  if (std::filesystem::exists(paths_.gameExe(), ec) && services_.sync) {
    QCoro::Task<> sync = services_.sync(*this, false);
    co_await sync;
    co_return;
  }
  setPhase(Phase::needInstall);
  setStatus(QStringLiteral("Choose where to install Quellhaven, then press Install."));
  setDetail(QStringLiteral("The full client is about 30 GB."));
  emit actionTitleChanged();
}

QCoro::Task<> LauncherModel::loadGameVersion() {
  if (!services_.getString) co_return;
  std::string body;
  try {
    const std::string url = Net::bust(paths_.base + "/game_version.txt");
    QCoro::Task<std::string> fetch = services_.getString(url);
    body = co_await fetch;
  } catch (const std::exception&) {
    co_return;
  }
  const std::string version = Text::trimWhitespace(body);
  if (version.empty() || version.find('<') != std::string::npos) co_return;
  gameVersion_ = q("v" + version);
  emit gameVersionChanged();
}

QCoro::Task<> LauncherModel::finishReady(std::string version, std::string summary, bool reconcile) {
  QCoro::Task<> client = configureClient(reconcile);
  co_await client;
  std::optional<std::string> failure;
  try {
    QCoro::Task<> prepare = prepareRuntime();
    co_await prepare;
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (failure) {
    // PLAY prepares again, so the user can retry from here.
    setStatus(q(summary + " - but the Mac compatibility layer isn't ready."));
    setDetail(q(*failure + "  Press PLAY to try again."));
    setPhase(Phase::ready);
    co_return;
  }
  setStatus(q(summary + " - ready to play!"));
  setDetail(q("Version " + version + "    " + paths_.installDir.string()));
  setProgress(1.0);
  setPhase(Phase::ready);
}

}  // namespace qh
