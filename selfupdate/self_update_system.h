// What self-update asks of the system around it: the bundle the launcher runs
// from, moving whole bundles, the relaunch and the quit. hostSystem() is the
// launcher's own; tests hand in a fake that plays the running launcher.
// Thread-safety: terminate() on the main thread; the others on any thread,
// moveBundle() blocking (workers only).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace qh::SelfUpdate {

class System {
 public:
  virtual ~System() = default;

  // The bundle the launcher runs from; nullopt when it runs outside one.
  virtual std::optional<std::filesystem::path> runningBundle() = 0;
  // The running bundle's identifier; nullopt when it names none.
  virtual std::optional<std::string> runningBundleIdentifier() = 0;
  // Moves the bundle `from` to `to`, which must not exist; on failure `to`
  // does not exist, `from` is as it was, and the error is returned.
  virtual std::error_code moveBundle(const std::filesystem::path& from,
                                     const std::filesystem::path& to) = 0;
  // Starts the detached shell that removes `backup` and opens `bundle`
  // (Platform::startRelaunch); the error when it cannot start.
  virtual std::error_code startRelaunch(const std::filesystem::path& backup,
                                        const std::filesystem::path& bundle) = 0;
  // Asks the application to quit.
  virtual void terminate() = 0;
};

// Platform's bundle, relaunch and quit; BundleMove's moves.
std::shared_ptr<System> hostSystem();

}  // namespace qh::SelfUpdate
