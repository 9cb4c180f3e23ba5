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
    runtime_ = std::make_shared<Runtime>(model_.paths(), timing_, network_);
  }
  return runtime_;
}

QCoro::Task<> CompatLayer::prepare() {
  const RosettaHost& machine = system_.rosetta();
  if (Runtime::rosettaNeeded(machine)) {
    model_.setStatus(
        QStringLiteral("Installing Rosetta 2 (Apple's Intel translator, needed once)..."));
    model_.setDetail(QStringLiteral("This can take a minute."));
    QCoro::Task<bool> install = onWorker([&machine] { return Runtime::installRosetta(machine); });
    const bool installed = co_await install;
    if (!installed) throw RuntimeError::rosettaMissing();
  }
  std::shared_ptr<Runtime> rt = runtime();
  if (!rt->spec()) {
    QCoro::Task<> resolve = rt->resolveSpec();
    co_await resolve;
  }
  // Called from download and worker threads.
  const StatusCallback report = model_.reporter();
  QCoro::Task<> install = rt->install(report);
  co_await install;
  QCoro::Task<> prefix = rt->preparePrefix(report);
  co_await prefix;
}

}  // namespace qh
