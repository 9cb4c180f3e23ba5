// The single object behind the launcher window: everything the window shows
// (the published state) and every command it invokes. The commands start the
// flows that own their steps: UpdateFlow (start-up, install, update, repair),
// PlayFlow (PLAY and force quit) and ResetFlow (the compatibility layer's
// reset); the flows publish through the setters here.
// Thread-safety: main thread only.
#pragma once

#include <qcoro/qcorotask.h>

#include <QObject>
#include <QString>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/paths.h"
#include "core/phase.h"
#include "core/status.h"
#include "core/timing.h"
#include "model/model_services.h"

namespace qh {

class CompatLayer;
class DiagnosticsFlow;
class PlayFlow;
class ReadyStep;
class ResetFlow;
class UpdateFlow;

class LauncherModel : public QObject {
  Q_OBJECT
  Q_PROPERTY(qh::Phase phase READ phase NOTIFY phaseChanged)
  Q_PROPERTY(QString status READ status NOTIFY statusChanged)
  Q_PROPERTY(QString detail READ detail NOTIFY detailChanged)
  Q_PROPERTY(int speedStep READ speedStep NOTIFY speedStepChanged)
  Q_PROPERTY(QString speedLabel READ speedLabel NOTIFY speedStepChanged)
  Q_PROPERTY(bool hasProgress READ hasProgress NOTIFY progressChanged)
  Q_PROPERTY(double progress READ progressValue NOTIFY progressChanged)
  Q_PROPERTY(QString installPath READ installPath WRITE setInstallPath NOTIFY installPathChanged)
  Q_PROPERTY(QString gameVersion READ gameVersion NOTIFY gameVersionChanged)
  Q_PROPERTY(bool hasAlert READ hasAlert NOTIFY alertChanged)
  Q_PROPERTY(QString alertTitle READ alertTitle NOTIFY alertChanged)
  Q_PROPERTY(QString alertBody READ alertBody NOTIFY alertChanged)
  Q_PROPERTY(QString actionTitle READ actionTitle NOTIFY actionTitleChanged)
  Q_PROPERTY(bool clientPresent READ clientPresent NOTIFY clientPresentChanged)

 public:
  // Works on `paths` (app/main.cpp loads them and opens the log).
  LauncherModel(Paths paths, ModelServices services, Timing timing = {}, QObject* parent = nullptr);
  ~LauncherModel() override;

  // --- Published state ---

  Phase phase() const { return phase_; }
  QString status() const { return status_; }
  QString detail() const { return detail_; }
  int speedStep() const { return speedStep_; }
  // The label of `speedStep` ("Unlimited", "4 MB/s", ...).
  QString speedLabel() const;
  bool hasProgress() const { return progress_.has_value(); }
  double progressValue() const { return progress_.value_or(0.0); }
  QString installPath() const { return installPath_; }
  QString gameVersion() const { return gameVersion_; }
  bool hasAlert() const { return alert_.has_value(); }
  QString alertTitle() const { return alert_ ? alert_->title : QString(); }
  QString alertBody() const { return alert_ ? alert_->body : QString(); }
  // "WORKING.", "PLAY", or "RETRY"/"INSTALL" by whether a client executable exists.
  QString actionTitle() const;
  // Whether a client executable exists in the install folder (touches the disk).
  // Every change the model publishes looks again, so the window follows an
  // executable that appears or goes in the middle of an install.
  bool clientPresent() const;
  // The locations the flows work on.
  const Paths& paths() const { return paths_; }

  void setPhase(Phase phase);
  void setStatus(const QString& status);
  void setDetail(const QString& detail);
  void setProgress(std::optional<double> progress);
  void setSpeedStep(int step);
  void setInstallPath(const QString& path);
  void setGameVersion(const QString& version);
  void showAlert(const QString& title, const QString& body);
  // The folder the client is installed in from now on.
  void setInstallDir(const std::filesystem::path& dir);
  // Publishes a status and progress, in call order, while the model lives.
  // The callback may be called from any thread.
  StatusCallback reporter();

  // --- Commands ---

  // Runs the start-up sequence once per process; later calls do nothing.
  Q_INVOKABLE void start();
  // The big button. needInstall: installs into installPath; ready: plays;
  // working: nothing.
  Q_INVOKABLE void primaryAction();
  // Tools: a forced verification of every file, unless working.
  Q_INVOKABLE void verifyRepair();
  // Tools: the next download speed step, wrapping from the last to the first.
  Q_INVOKABLE void cycleSpeedLimit();
  // Tools: forgets the recorded update state and checks again; nothing while
  // working, an alert while the game runs.
  Q_INVOKABLE void clearUpdateCache();
  // Tools: sets windowed mode, maximised, 1280x800 in Config.wtf and says in
  // `status` whether windowed mode had to be switched on.
  Q_INVOKABLE void resetVideoSettings();
  // Tools: PLAY with Wine's and DXVK's diagnostics on.
  Q_INVOKABLE void playWithDiagnostics();
  // Tools: ends every Wine process of the prefix.
  Q_INVOKABLE void forceQuitGame();
  // Tools: deletes the runtime and every prefix and prepares them anew;
  // nothing while working.
  Q_INVOKABLE void resetCompatibilityLayer();
  // Sets `installPath` from the folder panel's choice (installDirForChoice);
  // an empty or non-local URL (cancelled panel) changes nothing.
  Q_INVOKABLE void chooseFolder(const QUrl& chosen);
  // Open the install folder / the support folder (logs) in the file manager.
  Q_INVOKABLE void openGameFolder();
  Q_INVOKABLE void openLogs();
  // Tools: the diagnostics zip for support, saved to the Desktop and shown.
  Q_INVOKABLE void saveDiagnostics();
  Q_INVOKABLE void dismissAlert();

  // The install folder a folder-panel choice stands for: `chosen` itself when it
  // holds "QuellhavenGame.exe" or "Wow.exe" or is named "quellhaven" in any
  // letter case, else its subfolder "Quellhaven" (not created).
  static std::filesystem::path installDirForChoice(const std::filesystem::path& chosen);

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
  void clientPresentChanged();

 private:
  // Starts a command's flow. Anything escaping it is logged as "<what>
  // failed: ..." and ends the flow with "Problem: ...", ready or needInstall.
  void runFlow(QCoro::Task<> flow, std::string what);

  struct Alert {
    QString title;
    QString body;
  };

  Paths paths_;
  Phase phase_ = Phase::working;
  QString status_ = QStringLiteral("Starting...");
  QString detail_;
  int speedStep_ = 0;
  std::optional<double> progress_;
  QString installPath_;
  QString gameVersion_;
  std::optional<Alert> alert_;
  bool started_ = false;
  // The client's presence as last published.
  bool clientSeen_ = false;

  // Publishes a change of the client's presence.
  void lookForClient();

  std::unique_ptr<CompatLayer> layer_;
  std::unique_ptr<ReadyStep> ready_;
  std::unique_ptr<PlayFlow> play_;
  std::unique_ptr<UpdateFlow> update_;
  std::unique_ptr<ResetFlow> reset_;
  std::unique_ptr<DiagnosticsFlow> diagnostics_;
};

}  // namespace qh
