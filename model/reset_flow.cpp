#include "model/reset_flow.h"

#include "compat/runtime.h"
#include "model/compat_layer.h"
#include "model/launcher_model.h"
#include "model/ready_step.h"

namespace qh {

ResetFlow::ResetFlow(LauncherModel& model, CompatLayer& layer, ReadyStep& ready)
    : model_(model), layer_(layer), ready_(ready) {}

QCoro::Task<> ResetFlow::run() {
  model_.setPhase(Phase::working);
  model_.setStatus(QStringLiteral("Resetting the compatibility layer..."));
  std::shared_ptr<Runtime> rt = layer_.runtime();
  co_await rt->resetAll();
  co_await rt->resolveSpec();
  if (!model_.clientPresent()) {
    model_.setPhase(Phase::needInstall);
    model_.setStatus(QStringLiteral("Reset complete."));
    co_return;
  }
  co_await ready_.run(model_.gameVersion().toStdString(), "Reset complete", std::nullopt);
}

}  // namespace qh
