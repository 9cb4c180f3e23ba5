// The compatibility layer as the model's flows use it: the runtime over the
// model's current folders, and the preparation finishing and PLAY go through.
// Thread-safety: main thread only.
#pragma once

#include <qcoro/qcorotask.h>

#include <memory>

#include "core/timing.h"

namespace qh {

class LauncherModel;
class Network;
class Runtime;
class System;

class CompatLayer {
 public:
  // REQUIRES: model, system and network outlive the layer.
  CompatLayer(LauncherModel& model, System& system, Network& network, Timing timing);
  ~CompatLayer();

  // The runtime over the model's paths, made on first use and made anew once
  // they changed (another install folder). Hold the pointer across awaits.
  std::shared_ptr<Runtime> runtime();

  // Makes the layer usable: the Rosetta 2 gate, the runtime description when
  // none is known, the runtime's installation and the prefix, reporting
  // through the model. Throws the first failure (RuntimeError, NetError,
  // file errors).
  QCoro::Task<> prepare();

 private:
  LauncherModel& model_;
  System& system_;
  Network& network_;
  Timing timing_;
  std::shared_ptr<Runtime> runtime_;
};

}  // namespace qh
