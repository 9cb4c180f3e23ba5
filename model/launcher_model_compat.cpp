// The model's side of the compatibility layer.
#include "compat/runtime.h"
#include "model/launcher_model.h"

std::shared_ptr<Runtime> LauncherModel::runtime() {
  if (!runtime_) {
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
