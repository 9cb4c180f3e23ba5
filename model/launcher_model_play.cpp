// The model's side of PLAY: the compatibility layer, the game process, the
// Tools commands around it, and the reset of the layer.
#include <QPointer>
#include <exception>
#include <filesystem>

#include "client/cache.h"
#include "compat/game_process.h"
#include "compat/runtime.h"
#include "core/async.h"
#include "core/log.h"
#include "model/launcher_model.h"
#include "update/integrity_report.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

void call(const std::function<void()>& f) {
  if (f) f();
}

bool fileExists(const fs::path& file) {
  std::error_code ec;
  return fs::exists(file, ec);
}

}  // namespace

QCoro::Task<> LauncherModel::prepareRuntime() {
  if (!services_.prepareRuntime) co_return;
  QCoro::Task<> prepare = services_.prepareRuntime(*this);
  co_await prepare;
}

QCoro::Task<> LauncherModel::runRuntimePreparation() {
  if (Runtime::rosettaNeeded(services_.rosetta)) {
    setStatus(QStringLiteral("Installing Rosetta 2 (Apple's Intel translator, needed once)..."));
    setDetail(QStringLiteral("This can take a minute."));
    QCoro::Task<bool> install =
        onWorker([host = services_.rosetta] { return Runtime::installRosetta(host); });
    const bool installed = co_await install;
    if (!installed) throw RuntimeError::rosettaMissing();
  }
  std::shared_ptr<Runtime> rt = runtime();
  if (!rt->spec()) {
    QCoro::Task<> resolve = rt->resolveSpec();
    co_await resolve;
  }
  // Called from download and worker threads.
  StatusCallback status = reporter();
  QCoro::Task<> install = rt->install(status);
  co_await install;
  QCoro::Task<> prefix = rt->preparePrefix(status);
  co_await prefix;
}

QCoro::Task<> LauncherModel::play(bool verbose) {
  if (phase_ != Phase::ready) co_return;
  if (game_ && game_->running()) co_return;
  setPhase(Phase::working);

  std::optional<std::string> failure;
  bool rosettaMissing = false;
  try {
    QCoro::Task<> prepare = prepareRuntime();
    co_await prepare;
  } catch (const RuntimeError& e) {
    failure = e.what();
    rosettaMissing = e.kind() == RuntimeError::Kind::rosettaMissing;
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (failure) {
    setStatus(QStringLiteral("Couldn't prepare the Mac compatibility layer."));
    setDetail(q(*failure));
    setPhase(Phase::ready);
    if (rosettaMissing) {
      showAlert(QStringLiteral("Rosetta 2 required"),
                QStringLiteral("Quellhaven runs through Apple's Rosetta 2 on Apple Silicon Macs. "
                               "Install it by running this in Terminal, then press PLAY:\n\n"
                               "softwareupdate --install-rosetta --agree-to-license"));
    }
    co_return;
  }

  setStatus(QStringLiteral("Verifying client files..."));
  // The report and the cache clean-up walk the client folder: off the main
  // thread. The launch goes on whatever the report says.
  QCoro::Task<> verify = onWorker([paths = paths_] {
    IntegrityReport::write(paths.installDir);
    ClientFiles::clearCache(paths);
  });
  co_await verify;

  const std::optional<fs::path> resources =
      services_.resourcesDir ? services_.resourcesDir() : std::nullopt;
  const fs::path shim = resources ? *resources / "shim" / "version.dll" : fs::path();
  std::error_code ec;
  if (!resources || !fs::is_regular_file(shim, ec)) {
    setStatus(
        QStringLiteral("Launcher is damaged (missing shim). Re-download it from the website."));
    setPhase(Phase::ready);
    co_return;
  }

  std::shared_ptr<Runtime> rt = runtime();
  std::shared_ptr<GameProcess> process;
  try {
    QCoro::Task<std::shared_ptr<GameProcess>> launch =
        onWorker([rt, shim, verbose] { return rt->launchGame(shim, verbose); });
    process = co_await launch;
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (failure) {
    setStatus(QStringLiteral("Could not launch the game."));
    setDetail(q(*failure));
    setPhase(Phase::ready);
    co_return;
  }

  game_ = process;
  const std::shared_ptr<Clock> clock = timing_.clock;
  const double started = clock->now();
  setStatus(QStringLiteral("Starting Quellhaven..."));
  setDetail(verbose ? QStringLiteral("Diagnostics logging is on (wine.log).") : QString());
  // Runs on the watcher thread: it measures there and hands over.
  process->setExitHandler(
      [self = QPointer<LauncherModel>(this), clock, started, which = process.get()](int status) {
        const double lived = clock->now() - started;
        postIfAlive(self, [which, status, lived](LauncherModel& model) {
          model.gameExited(which, status, lived);
        });
      });
  startDetached(hideWhenRunning(QPointer<LauncherModel>(this)), "hiding the launcher");
}

QCoro::Task<> LauncherModel::hideWhenRunning(QPointer<LauncherModel> self) {
  if (!self) co_return;
  const std::shared_ptr<Clock> clock = self->timing_.clock;
  QCoro::Task<> pause = clock->wait(self->timing_.gameHideDelay);
  co_await pause;
  if (!self || !self->game_ || !self->game_->running()) co_return;
  self->setStatus(QStringLiteral("Quellhaven is running."));
  call(self->services_.hideApp);
}

void LauncherModel::gameExited(const GameProcess* which, int status, double lived) {
  // A game stopped by force-quit may end after another was started.
  if (game_.get() == which) game_.reset();
  Log::line("game exited code=" + std::to_string(status) +
            " lived=" + std::to_string(static_cast<long long>(lived)) + "s");
  setPhase(Phase::ready);
  if (lived < timing_.gameCrashThreshold) {
    call(services_.unhideApp);
    call(services_.activateApp);
    setStatus(QStringLiteral("The game closed unexpectedly - press PLAY to try again."));
    setDetail(
        QStringLiteral("If this keeps happening, use Tools > Play with diagnostics and send "
                       "wine.log (Tools > Open logs) and the game's Logs/qhshim.log to the team."));
    return;
  }
  call(services_.quitApp);
}

void LauncherModel::playWithDiagnostics() {
  startDetached(play(true), "play with diagnostics");
}

void LauncherModel::forceQuitGame() {
  startDetached(stopGame(), "force quit");
}

QCoro::Task<> LauncherModel::stopGame() {
  std::shared_ptr<Runtime> rt = runtime();
  QCoro::Task<> kill = rt->killWine();
  co_await kill;
  game_.reset();
  setPhase(fileExists(paths_.gameExe()) ? Phase::ready : Phase::needInstall);
  setStatus(QStringLiteral("Game stopped."));
}

void LauncherModel::resetCompatibilityLayer() {
  if (phase_ == Phase::working) return;
  setPhase(Phase::working);
  setStatus(QStringLiteral("Resetting the compatibility layer..."));
  startDetached(resetLayer(), "compatibility layer reset");
}

QCoro::Task<> LauncherModel::resetLayer() {
  std::shared_ptr<Runtime> rt = runtime();
  QCoro::Task<> wipe = rt->resetAll();
  co_await wipe;
  QCoro::Task<> resolve = rt->resolveSpec();
  co_await resolve;
  if (!fileExists(paths_.gameExe())) {
    setPhase(Phase::needInstall);
    setStatus(QStringLiteral("Reset complete."));
    co_return;
  }
  QCoro::Task<> finish = finishReady(gameVersion_.toStdString(), "Reset complete", false);
  co_await finish;
}

}  // namespace qh
