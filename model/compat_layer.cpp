#include "model/compat_layer.h"

#include "compat/runtime.h"
#include "core/async.h"
#include "model/launcher_model.h"

namespace qh {

namespace {

bool samePaths(const Paths& a, const Paths& b) {
  return a.base == b.base && a.stateDir == b.stateDir && a.installDir == b.installDir;
}

}  // namespace

CompatLayer::CompatLayer(LauncherModel& model, System& system, Network& network, Timing timing)
    : model_(model), system_(system), network_(network), timing_(std::move(timing)) {}

CompatLayer::~CompatLayer() = default;

std::shared_ptr<Runtime> CompatLayer::runtime() {
  if (!runtime_ || !samePaths(runtime_->paths(), model_.paths())) {
    runtime_ = std::make_shared<Runtime>(model_.paths(), timing_, network_, system_.wines());
  }
  return runtime_;
}

QCoro::Task<> CompatLayer::prepare() {
  const RosettaHost& machine = system_.rosetta();
  if (Runtime::rosettaNeeded(machine)) {
    model_.setStatus(
        QStringLiteral("Installing Rosetta 2 (Apple's Intel translator, needed once)..."));
    model_.setDetail(QStringLiteral("This can take a minute."));
    const bool installed =
        co_await onWorker([&machine] { return Runtime::installRosetta(machine); });
    if (!installed) throw RuntimeError::rosettaMissing();
  }
  std::shared_ptr<Runtime> rt = runtime();
  if (!rt->spec()) {
    co_await rt->resolveSpec();
  }
  // Called from download and worker threads.
  const StatusCallback report = model_.reporter();
  co_await rt->install(report);
  co_await rt->preparePrefix(report);
}

}  // namespace qh
