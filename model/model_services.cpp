#include "model/model_services.h"

#include "model/launcher_model.h"
#include "net/net.h"
#include "platform/platform.h"
#include "selfupdate/self_update.h"

namespace qh {

ModelServices makeServices() {
  ModelServices s;
  s.getString = [](std::string url) { return Net::getString(std::move(url)); };
  s.selfUpdate = [](Paths paths, std::function<void(std::string)> status) {
    return SelfUpdate::run(std::move(paths), std::move(status));
  };
  s.sync = &LauncherModel::runUpdateEngine;
  s.resolveRuntimeSpec = [](LauncherModel& model) { return model.resolveRuntimeSpec(); };
  s.prepareRuntime = &LauncherModel::runRuntimePreparation;
  s.rosetta = RosettaHost::system();
  s.hideApp = Platform::hideApplication;
  s.unhideApp = Platform::unhideApplication;
  s.activateApp = Platform::activateApplication;
  s.quitApp = Platform::terminate;
  s.resourcesDir = Platform::resourcesDir;
  return s;
}

}  // namespace qh
