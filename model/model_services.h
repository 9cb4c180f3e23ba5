// The operations the model's flows call that live in other subsystems and
// touch the network, processes or long-running work. Production wiring fills
// them (makeServices); tests hand in fakes. An empty member means the launcher
// has no such step, and the flow skips it.
#pragma once

#include <qcoro/qcorotask.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "compat/rosetta.h"
#include "core/paths.h"

namespace qh {

class LauncherModel;

struct ModelServices {
  // Start-up step 1: replace the launcher when a newer one is published. Never
  // throws; may end the process. `status` may be called from any thread.
  std::function<QCoro::Task<>(Paths, std::function<void(std::string)> status)> selfUpdate;
  // GETs a text resource; throws on any failure.
  std::function<QCoro::Task<std::string>(std::string url)> getString;
  // Settles the compatibility runtime's description.
  std::function<QCoro::Task<>(LauncherModel&)> resolveRuntimeSpec;
  // The update engine: brings the install folder in line with the server.
  std::function<QCoro::Task<>(LauncherModel&, bool force)> sync;

  // --- Compatibility layer and play ---
  // Makes the compatibility layer usable (LauncherModel::runRuntimePreparation
  // in production); finishing and PLAY go through it.
  std::function<QCoro::Task<>(LauncherModel&)> prepareRuntime;
  // The machine as the Rosetta 2 gate sees it; empty members: not Apple Silicon.
  RosettaHost rosetta;
  // The launcher while the game runs: hidden, shown again, brought to the
  // front, and quit after a normal game session.
  std::function<void()> hideApp;
  std::function<void()> unhideApp;
  std::function<void()> activateApp;
  std::function<void()> quitApp;
  // The bundle's resource folder, which carries "shim/version.dll".
  std::function<std::optional<std::filesystem::path>()> resourcesDir;
};

// The services backed by the real subsystems.
ModelServices makeServices();

}  // namespace qh
