// The model's side of the compatibility layer.
#include "compat/runtime.h"
#include "model/launcher_model.h"

namespace qh {

namespace {

bool samePaths(const Paths& a, const Paths& b) {
  return a.base == b.base && a.stateDir == b.stateDir && a.installDir == b.installDir;
}

}  // namespace

std::shared_ptr<Runtime> LauncherModel::runtime() {
  // A new install folder means a new runtime object without a description.
  if (!runtime_ || !samePaths(runtime_->paths(), paths_)) {
    Runtime::Network network = Runtime::Network::standard();
    // The model's text fetcher, so tests that fake it keep the runtime offline too.
    network.getString = services_.getString;
    runtime_ = std::make_shared<Runtime>(paths_, timing_, std::move(network));
  }
  return runtime_;
}

void LauncherModel::resetRuntime() {
  runtime_.reset();
}

QCoro::Task<> LauncherModel::resolveRuntimeSpec() {
  std::shared_ptr<Runtime> current = runtime();
  QCoro::Task<> resolve = current->resolveSpec();
  co_await resolve;
}

}  // namespace qh
