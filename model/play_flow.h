// PLAY and what follows it: the layer prepared, the client checked and
// started, the launcher hidden while it runs, and the game's end (a crash
// brings the launcher back, a normal session quits it); force quit.
// Thread-safety: main thread only.
#pragma once

#include <qcoro/qcorotask.h>

#include <memory>

#include "core/timing.h"

namespace qh {

class CompatLayer;
class GameProcess;
class LauncherModel;
class System;

class PlayFlow {
 public:
  // REQUIRES: model, system and layer outlive the flow.
  PlayFlow(LauncherModel& model, System& system, CompatLayer& layer, Timing timing);
  ~PlayFlow();

  // Prepares the layer, writes the integrity report, clears the client's
  // cache, starts the client (with diagnostics when `verbose`) and follows it
  // until it exits. Does nothing unless ready with no game running. Failures
  // end ready with their text. Never throws.
  QCoro::Task<> play(bool verbose);
  // Ends every Wine process of the prefix; then ready, or needInstall without
  // a client, with "Game stopped.". Never throws.
  QCoro::Task<> stop();
  // Whether the game this flow started is still running.
  bool running() const;

 private:
  // Both act for the game of launch `launch` only: a game that crashed at
  // once, or one that outlived a force quit, may end while a later one runs.
  QCoro::Task<> hideWhileRunning(int launch);
  void exited(int launch, int status, double lived);

  LauncherModel& model_;
  System& system_;
  CompatLayer& layer_;
  Timing timing_;
  std::shared_ptr<GameProcess> game_;
  // Counts the games started; the current one's number.
  int launch_ = 0;
};

}  // namespace qh
