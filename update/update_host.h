// What the update engine needs from the launcher model: the locations and
// timing, the published state it moves, the officials addon list, the game
// process check, the clean-up after new files and the finishing step. The model implements it;
// tests hand in a fake. Thread-safety: main thread only, except the reporter, which any thread may
// call.
#pragma once

#include <qcoro/qcorotask.h>

#include <optional>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/phase.h"
#include "core/status.h"
#include "core/timing.h"

namespace qh {

class UpdateHost {
 public:
  virtual ~UpdateHost() = default;

  virtual Paths paths() const = 0;
  virtual Timing timing() const = 0;

  virtual void setPhase(Phase phase) = 0;
  virtual void setStatus(const std::string& status) = 0;
  virtual void setDetail(const std::string& detail) = 0;
  virtual void setProgress(std::optional<double> progress) = 0;
  virtual void setOfficialAddons(std::vector<std::string> names) = 0;

  // Whether the game started by the launcher is still running.
  virtual bool gameRunning() const = 0;

  // Files were downloaded and both markers written: what the client cached
  // about the old files must go. Comes before finishReady. Never throws.
  virtual QCoro::Task<> clientFilesChanged() = 0;

  // The model's ready step, given the version text, the outcome text and
  // whether to reconcile the client's addons.
  virtual QCoro::Task<> finishReady(std::string version, std::string summary, bool reconcile) = 0;

  // Sets status and then progress on the main thread, in call order; does
  // nothing once the host is gone.
  virtual StatusCallback reporter() = 0;
};

}  // namespace qh
