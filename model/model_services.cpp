#include "model/model_services.h"

#include "platform/platform.h"
#include "selfupdate/self_update.h"

namespace qh {

void RealSystem::hideApp() {
  Platform::hideApplication();
}

void RealSystem::unhideApp() {
  Platform::unhideApplication();
}

void RealSystem::activateApp() {
  Platform::activateApplication();
}

void RealSystem::quitApp() {
  Platform::terminate();
}

std::optional<std::filesystem::path> RealSystem::resourcesDir() const {
  return Platform::resourcesDir();
}

std::filesystem::path RealSystem::homeDir() const {
  return Platform::homeDir();
}

QCoro::Task<bool> RealSelfUpdater::run(Paths paths, StatusCallback report) {
  SelfUpdate::Status notice = [report](std::string text) { report(text, std::nullopt); };
  co_await SelfUpdate::run(std::move(paths), std::move(notice));
  // A swapped launcher has asked to quit; the new one does the rest.
  co_return Platform::terminationRequested();
}

}  // namespace qh
