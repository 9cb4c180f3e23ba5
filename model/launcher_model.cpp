#include "model/launcher_model.h"

#include <QMetaObject>
#include <QPointer>

#include "client/config_wtf.h"
#include "core/async.h"
#include "core/log.h"
#include "model/compat_layer.h"
#include "model/diagnostics_flow.h"
#include "model/play_flow.h"
#include "model/ready_step.h"
#include "model/reset_flow.h"
#include "model/update_flow.h"
#include "net/speed_limit.h"
#include "update/markers.h"

namespace qh {

namespace {

// A flow ends its own failures with a message; what escapes it was not
// foreseen, and must not leave the window working with nothing to end it.
QCoro::Task<> endingOnFailure(QPointer<LauncherModel> model, QCoro::Task<> flow, std::string what) {
  std::string failure;
  try {
    co_await flow;
    co_return;
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "unknown error";
  }
  Log::line(what + " failed: " + failure);
  if (!model) co_return;
  model->setStatus(QString::fromStdString("Problem: " + failure));
  model->setProgress(std::nullopt);
  model->setPhase(model->clientPresent() ? Phase::ready : Phase::needInstall);
}

}  // namespace

LauncherModel::LauncherModel(Paths paths, ModelServices services, Timing timing, QObject* parent)
    : QObject(parent),
      paths_(std::move(paths)),
      speedStep_(SpeedLimit::step()),
      installPath_(QString::fromStdString(paths_.installDir.string())),
      layer_(std::make_unique<CompatLayer>(*this, services.system, services.network, timing)),
      ready_(std::make_unique<ReadyStep>(*this, *layer_)),
      play_(std::make_unique<PlayFlow>(*this, services.system, *layer_, timing)),
      update_(std::make_unique<UpdateFlow>(*this, services, *layer_, *ready_, *play_, timing)),
      reset_(std::make_unique<ResetFlow>(*this, *layer_, *ready_)),
      diagnostics_(std::make_unique<DiagnosticsFlow>(*this, services.system)) {
  clientSeen_ = clientPresent();
}

void LauncherModel::lookForClient() {
  const bool present = clientPresent();
  if (present == clientSeen_) return;
  clientSeen_ = present;
  emit clientPresentChanged();
  emit actionTitleChanged();
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
  return clientPresent() ? QStringLiteral("RETRY") : QStringLiteral("INSTALL");
}

void LauncherModel::setPhase(Phase phase) {
  lookForClient();
  if (phase_ == phase) return;
  phase_ = phase;
  emit phaseChanged();
  emit actionTitleChanged();
}

void LauncherModel::setStatus(const QString& status) {
  lookForClient();
  if (status_ == status) return;
  status_ = status;
  emit statusChanged();
}

void LauncherModel::setDetail(const QString& detail) {
  lookForClient();
  if (detail_ == detail) return;
  detail_ = detail;
  emit detailChanged();
}

void LauncherModel::setProgress(std::optional<double> progress) {
  lookForClient();
  if (progress_ == progress) return;
  progress_ = progress;
  emit progressChanged();
}

void LauncherModel::setSpeedStep(int step) {
  if (speedStep_ == step) return;
  speedStep_ = step;
  emit speedStepChanged();
}

void LauncherModel::setInstallPath(const QString& path) {
  if (installPath_ == path) return;
  installPath_ = path;
  emit installPathChanged();
}

void LauncherModel::setGameVersion(const QString& version) {
  if (gameVersion_ == version) return;
  gameVersion_ = version;
  emit gameVersionChanged();
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

void LauncherModel::setInstallDir(const std::filesystem::path& dir) {
  paths_.installDir = dir;
}

StatusCallback LauncherModel::reporter() {
  // Always queued, also from the main thread, so reports land in call order.
  return [self = QPointer<LauncherModel>(this)](const std::string& status,
                                                std::optional<double> progress) {
    postIfAlive(self, [s = QString::fromStdString(status), progress](LauncherModel& model) {
      model.setStatus(s);
      model.setProgress(progress);
    });
  };
}

void LauncherModel::runFlow(QCoro::Task<> flow, std::string what) {
  startDetached(endingOnFailure(QPointer<LauncherModel>(this), std::move(flow), what), what);
}

void LauncherModel::start() {
  if (started_) return;
  started_ = true;
  QMetaObject::invokeMethod(
      this, [this] { runFlow(update_->start(), "start-up"); }, Qt::QueuedConnection);
}

void LauncherModel::primaryAction() {
  switch (phase_) {
    case Phase::working:
      return;
    case Phase::ready:
      runFlow(play_->play(false), "play");
      return;
    case Phase::needInstall:
      runFlow(update_->install(installPath_.toStdString()), "install");
      return;
  }
}

void LauncherModel::verifyRepair() {
  if (phase_ == Phase::working) return;
  runFlow(update_->sync(true), "verify");
}

void LauncherModel::cycleSpeedLimit() {
  SpeedLimit::store((SpeedLimit::step() + 1) % SpeedLimit::stepCount);
  setSpeedStep(SpeedLimit::step());
}

void LauncherModel::clearUpdateCache() {
  if (phase_ == Phase::working) return;
  if (play_->running()) {
    showAlert(QStringLiteral("Close Quellhaven first"),
              QStringLiteral("The game has files open that a cache clear needs to rewrite."));
    return;
  }
  Markers::remove(paths_.installDir);
  runFlow(update_->sync(false), "update check");
}

void LauncherModel::resetVideoSettings() {
  const bool switched = ClientFiles::setConfigWtfLine(paths_, "gxWindow", "1");
  ClientFiles::setConfigWtfLine(paths_, "gxMaximize", "1");
  ClientFiles::setConfigWtfLine(paths_, "gxResolution", "1280x800");
  setStatus(switched ? QStringLiteral("Video settings reset to windowed mode.")
                     : QStringLiteral("Video settings already windowed; resolution reset."));
}

void LauncherModel::playWithDiagnostics() {
  runFlow(play_->play(true), "play with diagnostics");
}

void LauncherModel::forceQuitGame() {
  runFlow(play_->stop(), "force quit");
}

void LauncherModel::saveDiagnostics() {
  startDetached(diagnostics_->save(), "save diagnostics");
}

void LauncherModel::resetCompatibilityLayer() {
  if (phase_ == Phase::working) return;
  runFlow(reset_->run(), "compatibility layer reset");
}

}  // namespace qh
