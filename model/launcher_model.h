// The single object behind the launcher window: everything the window shows
// and every command it invokes.
// Thread-safety: main thread only.
#pragma once

#include <qcoro/qcorotask.h>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/phase.h"
#include "core/status.h"
#include "core/timing.h"
#include "model/model_services.h"

namespace qh {

class Runtime;
class GameProcess;

class LauncherModel : public QObject {
  Q_OBJECT
  Q_PROPERTY(qh::Phase phase READ phase NOTIFY phaseChanged)
  Q_PROPERTY(QString status READ status NOTIFY statusChanged)
  Q_PROPERTY(QString detail READ detail NOTIFY detailChanged)
  Q_PROPERTY(int speedStep READ speedStep NOTIFY speedStepChanged)
  Q_PROPERTY(bool hasProgress READ hasProgress NOTIFY progressChanged)
  Q_PROPERTY(double progress READ progressValue NOTIFY progressChanged)
  Q_PROPERTY(QString installPath READ installPath WRITE setInstallPath NOTIFY installPathChanged)
  Q_PROPERTY(QString gameVersion READ gameVersion NOTIFY gameVersionChanged)
  Q_PROPERTY(bool hasAlert READ hasAlert NOTIFY alertChanged)
  Q_PROPERTY(QString alertTitle READ alertTitle NOTIFY alertChanged)
  Q_PROPERTY(QString alertBody READ alertBody NOTIFY alertChanged)
  Q_PROPERTY(QString actionTitle READ actionTitle NOTIFY actionTitleChanged)

 public:
  struct Alert {
    QString title;
    QString body;
  };

  // Resolves Paths (creating the support folder) and points the log there.
  explicit LauncherModel(ModelServices services = makeServices(), Timing timing = {},
                         QObject* parent = nullptr);
  ~LauncherModel() override;

  Phase phase() const { return phase_; }
  QString status() const { return status_; }
  QString detail() const { return detail_; }
  int speedStep() const { return speedStep_; }
  std::optional<double> progress() const { return progress_; }
  bool hasProgress() const { return progress_.has_value(); }
  double progressValue() const { return progress_.value_or(0.0); }
  QString installPath() const { return installPath_; }
  QString gameVersion() const { return gameVersion_; }
  bool hasAlert() const { return alert_.has_value(); }
  QString alertTitle() const { return alert_ ? alert_->title : QString(); }
  QString alertBody() const { return alert_ ? alert_->body : QString(); }
  // "WORKING.", "PLAY", or "RETRY"/"INSTALL" by whether a client executable exists.
  QString actionTitle() const;

  void setPhase(Phase phase);
  void setStatus(const QString& status);
  void setDetail(const QString& detail);
  void setProgress(std::optional<double> progress);
  void setInstallPath(const QString& path);
  void setSpeedStep(int step);
  void showAlert(const QString& title, const QString& body);
  Q_INVOKABLE void dismissAlert();

  // Publishes a status and progress, in call order, while the model lives. The
  // callback may be called from any thread.
  StatusCallback reporter();

  const Paths& paths() const { return paths_; }
  Paths& paths() { return paths_; }
  const Timing& timing() const { return timing_; }
  std::vector<std::string>& officialAddons() { return officialAddons_; }

  // Runs the start-up sequence once per process; later calls do nothing.
  Q_INVOKABLE void start();
  // The sequence itself; exposed so tests can await it.
  QCoro::Task<> startUp();
  // Fetches "/game_version.txt" into gameVersion; failures leave it as it was.
  QCoro::Task<> loadGameVersion();
  // The step every successful update or repair ends with.
  QCoro::Task<> finishReady(std::string version, std::string summary, bool reconcile);

  // --- Install, update and repair (update engine) ---

  // The big button. needInstall: installs into installPath ("~" expanded; the
  // folder is created and remembered in "install_path.txt"), then syncs;
  // ready: plays; working: nothing.
  Q_INVOKABLE void primaryAction();
  // Tools: a forced verification of every file, unless working.
  Q_INVOKABLE void verifyRepair();
  // Tools: the next download speed step, wrapping from the last to the first.
  Q_INVOKABLE void cycleSpeedLimit();
  // Tools: forgets the recorded update state and checks again; nothing while
  // working, an alert while the game runs.
  Q_INVOKABLE void clearUpdateCache();
  // Brings the install folder in line with the server (services.sync).
  QCoro::Task<> sync(bool force);
  // Whether the game the launcher started is still running.
  bool gameRunning() const;
  // The update engine over this model: the production services.sync.
  static QCoro::Task<> runUpdateEngine(LauncherModel& model, bool force);

  // --- Client configuration and caches ---

  // The Tools command: sets windowed mode, maximised, 1280x800 in Config.wtf
  // and says in `status` whether windowed mode had to be switched on.
  Q_INVOKABLE void resetVideoSettings();
  // finishReady's client steps, on a worker: reconciles the addons with
  // officialAddons when `reconcile` (reporting the deletions in `detail`),
  // then the realm list, then the Config.wtf defaults. Never fails.
  QCoro::Task<> configureClient(bool reconcile);

  // --- Compatibility layer and play ---

  // The compatibility-layer manager over a copy of paths, made on first use
  // and made anew once paths changed (another install folder). Hold the
  // pointer across awaits.
  std::shared_ptr<Runtime> runtime();
  // Drops the runtime; the next runtime() is a new one holding no description.
  void resetRuntime();
  // Settles the runtime's description (server, cached copy, built-in).
  QCoro::Task<> resolveRuntimeSpec();
  // Makes the compatibility layer usable through services.prepareRuntime;
  // without that service there is nothing to prepare.
  QCoro::Task<> prepareRuntime();
  // The preparation itself: the Rosetta 2 gate, the runtime description when
  // none is known, the runtime's installation and the prefix; status through
  // reporter(). Throws the first failure (RuntimeError, NetError, file errors).
  QCoro::Task<> runRuntimePreparation();
  // PLAY: prepares the layer, writes the integrity report, clears the cache,
  // starts the client and follows it until it exits. Does nothing unless
  // ready with no game running.
  QCoro::Task<> play(bool verbose);
  // The Tools commands; each starts its task and returns at once.
  Q_INVOKABLE void playWithDiagnostics();
  Q_INVOKABLE void forceQuitGame();
  Q_INVOKABLE void resetCompatibilityLayer();
  // The tasks behind the last two, for tests to await.
  QCoro::Task<> stopGame();
  QCoro::Task<> resetLayer();
  // The running client, or null.
  const std::shared_ptr<GameProcess>& game() const { return game_; }

  // --- Window commands ---
  Q_PROPERTY(QString speedLabel READ speedLabel NOTIFY speedStepChanged)
  Q_PROPERTY(bool clientPresent READ clientPresent NOTIFY actionTitleChanged)

  // The label of `speedStep` ("Unlimited", "4 MB/s", ...).
  QString speedLabel() const;
  // Whether a client executable exists in the install folder (touches the disk).
  bool clientPresent() const;
  // The install folder a folder-panel choice stands for: `chosen` itself when it
  // holds "QuellhavenGame.exe" or "Wow.exe" or is named "quellhaven" in any
  // letter case, else its subfolder "Quellhaven" (not created).
  static std::filesystem::path installDirForChoice(const std::filesystem::path& chosen);
  // Sets `installPath` from the folder panel's choice; an empty or non-local
  // URL (cancelled panel) changes nothing.
  Q_INVOKABLE void chooseFolder(const QUrl& chosen);
  // Open the install folder / the support folder (logs) in the file manager.
  Q_INVOKABLE void openGameFolder();
  Q_INVOKABLE void openLogs();

 signals:
  void phaseChanged();
  void statusChanged();
  void detailChanged();
  void speedStepChanged();
  void progressChanged();
  void installPathChanged();
  void gameVersionChanged();
  void alertChanged();
  void actionTitleChanged();

 private:
  // --- Private state of the areas above, one block each ---

  // Install, update and repair: the install steps after the folder is settled.
  QCoro::Task<> resolveAndSync();

  // Compatibility layer and play
  std::shared_ptr<Runtime> runtime_;
  std::shared_ptr<GameProcess> game_;
  void gameExited(const GameProcess* which, int status, double lived);
  static QCoro::Task<> hideWhenRunning(QPointer<LauncherModel> self);

  ModelServices services_;
  Timing timing_;
  Paths paths_;
  Phase phase_ = Phase::working;
  QString status_ = QStringLiteral("Starting...");
  QString detail_;
  int speedStep_ = 0;
  std::optional<double> progress_;
  QString installPath_;
  QString gameVersion_;
  std::optional<Alert> alert_;
  std::vector<std::string> officialAddons_;
  bool started_ = false;
};

}  // namespace qh
