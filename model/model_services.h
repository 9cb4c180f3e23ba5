// What the model's flows ask of the world outside the launcher, as seams:
// the machine and the application (System), the distribution server
// (Network, net/network.h) and the launcher's own replacement (SelfUpdater).
// The Real* classes are this machine; tests hand in fakes.
#pragma once

#include <qcoro/qcorotask.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "compat/rosetta.h"
#include "compat/system_wine.h"
#include "core/paths.h"
#include "core/status.h"
#include "net/network.h"

namespace qh {

// Thread-safety: main thread only, except rosetta() and wines(), whose answers
// any thread may ask for.
class System {
 public:
  virtual ~System() = default;
  // The launcher while the game runs: hidden, shown again, brought to the
  // front ignoring other applications.
  virtual void hideApp() = 0;
  virtual void unhideApp() = 0;
  virtual void activateApp() = 0;
  // Quits the launcher through its event loop.
  virtual void quitApp() = 0;
  // The bundle's resource folder, which carries "shim/version.dll"; nullopt
  // when the launcher runs outside a bundle.
  virtual std::optional<std::filesystem::path> resourcesDir() const = 0;
  // The user's home folder, which a leading "~" of a typed folder stands for.
  virtual std::filesystem::path homeDir() const = 0;
  // The user's login name; "" when there is none.
  virtual std::string loginName() const = 0;
  // Where a file made for the user goes, the likeliest first: the Desktop,
  // else the Downloads folder, then the home folder; only folders that exist.
  virtual std::vector<std::filesystem::path> saveFolders() const = 0;
  // Shows `file` in the Finder or the file manager.
  virtual void reveal(const std::filesystem::path& file) = 0;
  // The machine as the Rosetta 2 gate sees it.
  virtual const RosettaHost& rosetta() const = 0;
  // The machine as the search for the system's Wine sees it (Linux).
  virtual const WineHost& wines() const = 0;
};

// Start-up step 1. Thread-safety: await from the main thread.
class SelfUpdater {
 public:
  virtual ~SelfUpdater() = default;
  // Replaces the launcher when a newer build is published. Never throws.
  // Returns true when it did and the launcher is quitting: start nothing
  // more. `report` may be called from any thread.
  virtual QCoro::Task<bool> run(Paths paths, StatusCallback report) = 0;
};

// The seams a model is built with. REQUIRES: each outlives the model.
struct ModelServices {
  System& system;
  Network& network;
  SelfUpdater& selfUpdater;
};

class RealSystem final : public System {
 public:
  void hideApp() override;
  void unhideApp() override;
  void activateApp() override;
  void quitApp() override;
  std::optional<std::filesystem::path> resourcesDir() const override;
  std::filesystem::path homeDir() const override;
  std::string loginName() const override;
  std::vector<std::filesystem::path> saveFolders() const override;
  void reveal(const std::filesystem::path& file) override;
  const RosettaHost& rosetta() const override { return rosetta_; }
  const WineHost& wines() const override { return wines_; }

 private:
  RealRosettaHost rosetta_;
  RealWineHost wines_;
};

class RealSelfUpdater final : public SelfUpdater {
 public:
  QCoro::Task<bool> run(Paths paths, StatusCallback report) override;
};

// The production seams, owned together.
struct RealServices {
  RealSystem system;
  RealNetwork network;
  RealSelfUpdater selfUpdater;

  ModelServices services() { return {system, network, selfUpdater}; }
};

}  // namespace qh
