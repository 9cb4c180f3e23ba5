#include "model/play_flow.h"

#include <QPointer>
#include <exception>
#include <filesystem>

#include "client/cache.h"
#include "compat/game_process.h"
#include "compat/runtime.h"
#include "core/async.h"
#include "core/log.h"
#include "core/os_layout.h"
#include "model/compat_layer.h"
#include "model/launcher_model.h"
#include "update/integrity_report.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// A launch that stops before the game runs ends ready: PLAY may be pressed again.
void stoppedBeforeTheGame(LauncherModel& model, const QString& status,
                          const std::optional<std::string>& detail) {
  model.setStatus(status);
  if (detail) model.setDetail(QString::fromStdString(*detail));
  model.setPhase(Phase::ready);
}

}  // namespace

PlayFlow::PlayFlow(LauncherModel& model, System& system, CompatLayer& layer, Timing timing)
    : model_(model), system_(system), layer_(layer), timing_(std::move(timing)) {}

PlayFlow::~PlayFlow() = default;

bool PlayFlow::running() const {
  return game_ && game_->running();
}

QCoro::Task<> PlayFlow::play(bool verbose) {
  if (model_.phase() != Phase::ready || running()) co_return;
  model_.setPhase(Phase::working);

  std::optional<std::string> failure;
  std::string need;
  bool rosettaMissing = false;
  try {
    co_await layer_.prepare();
  } catch (const RuntimeError& e) {
    failure = e.what();
    need = e.need();
    rosettaMissing = e.kind() == RuntimeError::Kind::rosettaMissing;
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (failure) {
    const std::string status =
        need.empty() ? "Couldn't prepare the " + osLayout().layerName + " compatibility layer."
                     : "Couldn't start the game: it needs " + need + ".";
    stoppedBeforeTheGame(model_, QString::fromStdString(status), failure);
    if (rosettaMissing) {
      model_.showAlert(
          QStringLiteral("Rosetta 2 required"),
          QStringLiteral("Quellhaven runs through Apple's Rosetta 2 on Apple Silicon Macs. "
                         "Install it by running this in Terminal, then press PLAY:\n\n"
                         "softwareupdate --install-rosetta --agree-to-license"));
    }
    co_return;
  }

  model_.setStatus(QStringLiteral("Verifying client files..."));
  // The report and the cache clean-up walk the client folder: off the main
  // thread. The launch goes on whatever the report says.
  co_await onWorker([paths = model_.paths()] {
    IntegrityReport::write(paths.installDir);
    ClientFiles::clearCache(paths);
  });

  const std::optional<fs::path> resources = system_.resourcesDir();
  const fs::path shim = resources ? *resources / "shim" / "version.dll" : fs::path();
  std::error_code ec;
  if (!resources || !fs::is_regular_file(shim, ec)) {
    stoppedBeforeTheGame(
        model_,
        QStringLiteral("Launcher is damaged (missing shim). Re-download it from the website."),
        std::nullopt);
    co_return;
  }

  std::shared_ptr<Runtime> rt = layer_.runtime();
  std::shared_ptr<GameProcess> process;
  try {
    process = co_await onWorker([rt, shim, verbose] { return rt->launchGame(shim, verbose); });
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (failure) {
    stoppedBeforeTheGame(model_, QStringLiteral("Could not launch the game."), failure);
    co_return;
  }

  game_ = process;
  const int launch = ++launch_;
  const std::shared_ptr<Clock> clock = timing_.clock;
  const double started = clock->now();
  model_.setStatus(QStringLiteral("Starting Quellhaven..."));
  model_.setDetail(verbose ? QStringLiteral("Diagnostics logging is on (wine.log).") : QString());
  // Runs on the watcher thread: it measures there and hands over. The flow
  // lives as long as the model.
  process->setExitHandler([this, model = QPointer<LauncherModel>(&model_), clock, started,
                           launch](int status) {
    const double lived = clock->now() - started;
    postIfAlive(model,
                [this, launch, status, lived](LauncherModel&) { exited(launch, status, lived); });
  });
  startDetached(hideWhileRunning(launch), "hiding the launcher");
}

QCoro::Task<> PlayFlow::hideWhileRunning(int launch) {
  // The flow lives as long as the model, which may be gone after the wait.
  QPointer<LauncherModel> model(&model_);
  const std::shared_ptr<Clock> clock = timing_.clock;
  co_await clock->wait(timing_.gameHideDelay);
  if (!model || launch != launch_ || !running()) co_return;
  model_.setStatus(QStringLiteral("Quellhaven is running."));
  system_.hideApp();
}

void PlayFlow::exited(int launch, int status, double lived) {
  const std::string line = "game exited code=" + std::to_string(status) +
                           " lived=" + std::to_string(static_cast<long long>(lived)) + "s";
  if (launch != launch_) {
    // A game that outlived a force quit, ending while a later one runs.
    Log::line(line + " (an earlier game)");
    return;
  }
  game_.reset();
  Log::line(line);
  model_.setPhase(Phase::ready);
  if (lived < timing_.gameCrashThreshold) {
    system_.unhideApp();
    system_.activateApp();
    model_.setStatus(QStringLiteral("The game closed unexpectedly - press PLAY to try again."));
    model_.setDetail(
        QStringLiteral("If this keeps happening, use Tools > Play with diagnostics and send "
                       "wine.log (Tools > Open logs) and the game's Logs/qhshim.log to the team."));
    return;
  }
  system_.quitApp();
}

QCoro::Task<> PlayFlow::stop() {
  std::shared_ptr<Runtime> rt = layer_.runtime();
  co_await rt->killWine();
  game_.reset();
  model_.setPhase(model_.clientPresent() ? Phase::ready : Phase::needInstall);
  model_.setStatus(QStringLiteral("Game stopped."));
}

}  // namespace qh
