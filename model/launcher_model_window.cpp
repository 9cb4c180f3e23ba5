// What the window asks of the model beyond the properties: the folder-panel
// rule and opening folders.
#include <QDesktopServices>

#include "core/text.h"
#include "model/launcher_model.h"
#include "net/speed_limit.h"

namespace qh {

QString LauncherModel::speedLabel() const {
  const int step = speedStep_ >= 0 && speedStep_ < SpeedLimit::stepCount ? speedStep_ : 0;
  return QString::fromStdString(SpeedLimit::labels()[step]);
}

bool LauncherModel::clientPresent() const {
  std::error_code ec;
  return std::filesystem::exists(paths_.gameExe(), ec);
}

std::filesystem::path LauncherModel::installDirForChoice(const std::filesystem::path& chosen) {
  std::error_code ec;
  if (std::filesystem::exists(chosen / "QuellhavenGame.exe", ec) ||
      std::filesystem::exists(chosen / "Wow.exe", ec))
    return chosen;
  // A trailing "/" leaves an empty last component; the folder's name is before it.
  const std::filesystem::path trimmed = chosen.has_filename() ? chosen : chosen.parent_path();
  if (Text::lower(trimmed.filename().string()) == "quellhaven") return chosen;
  return trimmed / "Quellhaven";
}

void LauncherModel::chooseFolder(const QUrl& chosen) {
  if (chosen.isEmpty() || !chosen.isLocalFile()) return;
  const std::filesystem::path dir = chosen.toLocalFile().toStdString();
  if (dir.empty()) return;
  setInstallPath(QString::fromStdString(installDirForChoice(dir).string()));
}

void LauncherModel::openGameFolder() {
  QDesktopServices::openUrl(
      QUrl::fromLocalFile(QString::fromStdString(paths_.installDir.string())));
}

void LauncherModel::openLogs() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(paths_.stateDir.string())));
}

}  // namespace qh
