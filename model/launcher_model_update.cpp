// The model's side of installing, updating and repairing the client: the
// primary action, the Tools commands that start the update engine, and the
// UpdateHost through which the engine publishes its state.
#include <filesystem>

#include "compat/game_process.h"
#include "core/async.h"
#include "core/files.h"
#include "model/launcher_model.h"
#include "net/speed_limit.h"
#include "platform/platform.h"
#include "update/markers.h"
#include "update/update_engine.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

class ModelHost final : public UpdateHost {
 public:
  explicit ModelHost(LauncherModel& model) : model_(model) {}

  Paths paths() const override { return model_.paths(); }
  Timing timing() const override { return model_.timing(); }
  void setPhase(Phase phase) override { model_.setPhase(phase); }
  void setStatus(const std::string& status) override { model_.setStatus(q(status)); }
  void setDetail(const std::string& detail) override { model_.setDetail(q(detail)); }
  void setProgress(std::optional<double> progress) override { model_.setProgress(progress); }
  void setOfficialAddons(std::vector<std::string> names) override {
    model_.officialAddons() = std::move(names);
  }
  bool gameRunning() const override { return model_.gameRunning(); }
  QCoro::Task<> finishReady(std::string version, std::string summary, bool reconcile) override {
    return model_.finishReady(std::move(version), std::move(summary), reconcile);
  }

  StatusCallback reporter() override { return model_.reporter(); }

 private:
  LauncherModel& model_;
};

}  // namespace

QCoro::Task<> LauncherModel::runUpdateEngine(LauncherModel& model, bool force) {
  QCoro::Task<> run = UpdateEngine::sync(std::make_shared<ModelHost>(model), force);
  co_await run;
}

QCoro::Task<> LauncherModel::sync(bool force) {
  if (!services_.sync) co_return;
  QCoro::Task<> run = services_.sync(*this, force);
  co_await run;
}

bool LauncherModel::gameRunning() const {
  return game_ && game_->running();
}

void LauncherModel::primaryAction() {
  switch (phase_) {
    case Phase::working:
      return;
    case Phase::ready:
      startDetached(play(false), "play");
      return;
    case Phase::needInstall:
      break;
  }
  std::string folder = installPath_.toStdString();
  if (folder == "~" || folder.starts_with("~/")) {
    folder = Platform::homeDir().string() + folder.substr(1);
  }
  if (folder.empty()) {
    setStatus(QStringLiteral("Please choose an install location."));
    return;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder)) {
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    setStatus(q("Can't use that folder: " + ec.message()));
    return;
  }
  paths_.installDir = folder;
  Files::writeAtomic(paths_.stateDir / "install_path.txt", paths_.installDir.string());
  // Working from the press on, so a second press cannot start a second install.
  setPhase(Phase::working);
  startDetached(resolveAndSync(), "install");
}

QCoro::Task<> LauncherModel::resolveAndSync() {
  if (services_.resolveRuntimeSpec) {
    QCoro::Task<> resolve = services_.resolveRuntimeSpec(*this);
    co_await resolve;
  }
  QCoro::Task<> run = sync(false);
  co_await run;
}

void LauncherModel::verifyRepair() {
  if (phase_ == Phase::working) return;
  startDetached(sync(true), "verify");
}

void LauncherModel::cycleSpeedLimit() {
  SpeedLimit::store((SpeedLimit::step() + 1) % SpeedLimit::stepCount);
  setSpeedStep(SpeedLimit::step());
}

void LauncherModel::clearUpdateCache() {
  if (phase_ == Phase::working) return;
  if (gameRunning()) {
    showAlert(QStringLiteral("Close Quellhaven first"),
              QStringLiteral("The game has files open that a cache clear needs to rewrite."));
    return;
  }
  Markers::remove(paths_.installDir);
  startDetached(sync(false), "update check");
}

}  // namespace qh
