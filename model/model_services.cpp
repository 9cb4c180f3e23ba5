#include "model/model_services.h"

#include <QStandardPaths>
#include <QString>

#include "core/log.h"
#include "model/package_managed.h"
#include "platform/machine.h"
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

std::string RealSystem::loginName() const {
  return Platform::loginName();
}

std::vector<std::filesystem::path> RealSystem::saveFolders() const {
  std::vector<std::filesystem::path> folders;
  for (const auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DownloadLocation}) {
    const QString folder = QStandardPaths::writableLocation(location);
    std::error_code ec;
    if (!folder.isEmpty() && std::filesystem::is_directory(folder.toStdString(), ec))
      folders.emplace_back(folder.toStdString());
  }
  folders.push_back(Platform::homeDir());
  return folders;
}

void RealSystem::reveal(const std::filesystem::path& file) {
  Platform::revealFile(file);
}

QCoro::Task<bool> RealSelfUpdater::run(Paths paths, StatusCallback report) {
  if (packageManaged(Platform::resourcesDir())) {
    Log::line(
        "selfupdate: skipped: the system's package manager installed this launcher and "
        "updates it");
    co_return false;
  }
  SelfUpdate::Status notice = [report](std::string text) { report(text, std::nullopt); };
  co_await SelfUpdate::run(std::move(paths), std::move(notice));
  // A swapped launcher has asked to quit; the new one does the rest.
  co_return Platform::terminationRequested();
}

}  // namespace qh
