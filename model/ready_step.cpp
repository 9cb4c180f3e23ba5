#include "model/ready_step.h"

#include "client/addons.h"
#include "client/config_wtf.h"
#include "client/realm_list.h"
#include "compat/runtime_error.h"
#include "core/async.h"
#include "core/os_layout.h"
#include "model/compat_layer.h"
#include "model/launcher_model.h"

namespace qh {

namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace

ReadyStep::ReadyStep(LauncherModel& model, CompatLayer& layer) : model_(model), layer_(layer) {}

QCoro::Task<> ReadyStep::run(std::string version, std::string summary,
                             std::optional<std::vector<std::string>> officialAddons) {
  co_await configureClient(std::move(officialAddons));
  std::optional<std::string> failure;
  std::string need;
  try {
    co_await layer_.prepare();
  } catch (const RuntimeError& e) {
    failure = e.what();
    need = e.need();
  } catch (const std::exception& e) {
    failure = e.what();
  }
  if (failure) {
    // PLAY prepares again, so the user can retry from here.
    model_.setStatus(q(need.empty() ? summary + " - but the " + osLayout().layerName +
                                          " compatibility layer isn't ready."
                                    : summary + " - but the game needs " + need + "."));
    model_.setDetail(q(*failure + "  Press PLAY to try again."));
    model_.setPhase(Phase::ready);
    co_return;
  }
  model_.setStatus(q(summary + " - ready to play!"));
  model_.setDetail(q("Version " + version + "    " + model_.paths().installDir.string()));
  model_.setProgress(1.0);
  model_.setPhase(Phase::ready);
}

QCoro::Task<> ReadyStep::configureClient(std::optional<std::vector<std::string>> officialAddons) {
  // A deep walk of the account folders: off the main thread.
  const int cleaned =
      co_await onWorker([paths = model_.paths(), official = std::move(officialAddons)] {
        const int cleaned = official ? ClientFiles::reconcileAddons(paths, *official) : 0;
        ClientFiles::ensureRealmList(paths);
        ClientFiles::ensureConfigWtf(paths);
        return cleaned;
      });
  if (cleaned >= 1) {
    model_.setDetail(QStringLiteral("Cleaned %1 unofficial addon folder(s).").arg(cleaned));
  }
}

}  // namespace qh
