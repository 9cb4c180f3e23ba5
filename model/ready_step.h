// The step every successful update, repair and reset ends with: the client's
// own files put in order, the compatibility layer prepared, the model ready.
// Thread-safety: main thread only.
#pragma once

#include <qcoro/qcorotask.h>

#include <optional>
#include <string>
#include <vector>

namespace qh {

class CompatLayer;
class LauncherModel;

class ReadyStep {
 public:
  // REQUIRES: model and layer outlive the step.
  ReadyStep(LauncherModel& model, CompatLayer& layer);

  // On a worker: reconciles the client's addons with `officialAddons` when
  // given (the deletions reported in `detail`), then the realm list and the
  // Config.wtf defaults. Then prepares the layer and ends ready with
  // "<summary> - ready to play!", or, when the layer failed, with its failure
  // and PLAY to try again. Never throws.
  QCoro::Task<> run(std::string version, std::string summary,
                    std::optional<std::vector<std::string>> officialAddons);

 private:
  QCoro::Task<> configureClient(std::optional<std::vector<std::string>> officialAddons);

  LauncherModel& model_;
  CompatLayer& layer_;
};

}  // namespace qh
