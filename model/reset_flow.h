// Resetting the compatibility layer: Wine stopped, the runtime and every
// prefix deleted, the description fetched again, and with a client in place
// the layer prepared anew through the ready step.
// Thread-safety: main thread only.
#pragma once

#include <qcoro/qcorotask.h>

namespace qh {

class CompatLayer;
class LauncherModel;
class ReadyStep;

class ResetFlow {
 public:
  // REQUIRES: model, layer and ready outlive the flow.
  ResetFlow(LauncherModel& model, CompatLayer& layer, ReadyStep& ready);

  // Working from the call on; ends in needInstall ("Reset complete.") without
  // a client, else as the ready step ends. Never throws.
  QCoro::Task<> run();

 private:
  LauncherModel& model_;
  CompatLayer& layer_;
  ReadyStep& ready_;
};

}  // namespace qh
