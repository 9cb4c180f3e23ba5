// Installing, updating and repairing the client, and the start-up that leads
// into them: the update engine runs over the model through an UpdateHost.
// Thread-safety: main thread only.
#pragma once

#include <qcoro/qcorotask.h>

#include <string>

#include "core/timing.h"
#include "model/model_services.h"

namespace qh {

class CompatLayer;
class LauncherModel;
class PlayFlow;
class ReadyStep;

class UpdateFlow {
 public:
  // REQUIRES: everything given outlives the flow.
  UpdateFlow(LauncherModel& model, ModelServices services, CompatLayer& layer, ReadyStep& ready,
             const PlayFlow& play, Timing timing);

  // Self-update (a replaced launcher stops here), the game version label in
  // the background, the runtime description; then an update when a client
  // executable exists, else needInstall with the install prompt. Never throws.
  QCoro::Task<> start();
  // Installs into `folder` ("~" is the home folder): the folder is created
  // and remembered in "install_path.txt", working from there on, then the
  // runtime description and an update. A folder that cannot be used only
  // sets a status. Never throws.
  QCoro::Task<> install(std::string folder);
  // Brings the install folder in line with the server; `force` checks every
  // file's checksum. Never throws.
  QCoro::Task<> sync(bool force);

 private:
  // "/game_version.txt" into gameVersion; failures leave it as it was.
  QCoro::Task<> loadGameVersion();
  QCoro::Task<> resolveRuntimeSpec();

  LauncherModel& model_;
  ModelServices services_;
  CompatLayer& layer_;
  ReadyStep& ready_;
  const PlayFlow& play_;
  Timing timing_;
};

}  // namespace qh
