#include <string>
#include <utility>
#include <vector>

#include "client/addons.h"
#include "client/config_wtf.h"
#include "client/realm_list.h"
#include "core/async.h"
#include "model/launcher_model.h"

namespace qh {

void LauncherModel::resetVideoSettings() {
  const bool switched = ClientFiles::setConfigWtfLine(paths_, "gxWindow", "1");
  ClientFiles::setConfigWtfLine(paths_, "gxMaximize", "1");
  ClientFiles::setConfigWtfLine(paths_, "gxResolution", "1280x800");
  setStatus(switched ? QStringLiteral("Video settings reset to windowed mode.")
                     : QStringLiteral("Video settings already windowed; resolution reset."));
}

QCoro::Task<> LauncherModel::configureClient(bool reconcile) {
  std::vector<std::string> official;
  if (reconcile) official = officialAddons_;
  // A deep walk of the account folders: off the main thread.
  QCoro::Task<int> work = onWorker([paths = paths_, official = std::move(official), reconcile] {
    const int cleaned = reconcile ? ClientFiles::reconcileAddons(paths, official) : 0;
    ClientFiles::ensureRealmList(paths);
    ClientFiles::ensureConfigWtf(paths);
    return cleaned;
  });
  const int cleaned = co_await work;
  if (cleaned >= 1) {
    setDetail(QStringLiteral("Cleaned %1 unofficial addon folder(s).").arg(cleaned));
  }
}

}  // namespace qh
