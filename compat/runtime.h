// The compatibility-layer manager: the runtime description in force, every
// location derived from it, and the operations that install the runtime and
// prepare the Wine prefix the client runs in.
// Thread-safety: main thread only. The model shares one instance (hold a
// shared_ptr across awaits: the model may swap in a new one meanwhile).
#pragma once

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "compat/runtime_error.h"
#include "compat/runtime_spec.h"
#include "core/paths.h"
#include "core/status.h"
#include "core/timing.h"

namespace qh {

class GameProcess;
class Network;
class RosettaHost;
class WineHost;

class Runtime {
 public:
  // The runtime description and archive come through `network`; on Linux
  // `wines` is asked for the system's Wine when the server offers no runtime.
  // REQUIRES: `network` and `wines` outlive the runtime.
  Runtime(Paths paths, Timing timing, Network& network);
  Runtime(Paths paths, Timing timing, Network& network, const WineHost& wines);

  const Paths& paths() const { return paths_; }
  const std::optional<RuntimeSpec>& spec() const { return spec_; }

  // Sets spec from the server's runtime description (OsLayout, "mac/runtime.txt"
  // on macOS), caching its text, else
  // from the cached copy, else from the built-in description (on Linux, the
  // system's Wine: compat/system_wine.h). With release
  // keys (paths().releaseKeys) a text without a valid signature is passed
  // over, and the log says why. Never throws.
  QCoro::Task<> resolveSpec();
  // Sets spec from the cached copy, else from the built-in description (as above),
  // without asking the server; true when the cached copy was used. Blocks on
  // one small read.
  bool useCachedSpec();

  // Locations; those of one runtime are nullopt while no spec is known.
  std::filesystem::path cachedSpecFile() const;
  std::filesystem::path runtimesDir() const;
  std::optional<std::filesystem::path> runtimeDir() const;
  std::optional<std::filesystem::path> completionMarker() const;
  std::optional<std::filesystem::path> wine() const;
  // The sibling of wine().
  std::optional<std::filesystem::path> wineserver() const;
  std::optional<std::filesystem::path> libraryDir() const;
  // Only while the DXVK file the runtime description names exists.
  std::optional<std::filesystem::path> dxvkSource() const;
  std::filesystem::path prefixDir() const;
  std::filesystem::path prefixMarker() const;
  std::filesystem::path registryFile() const;
  std::filesystem::path wineLog() const;
  std::filesystem::path dxvkCacheDir() const;

  // "Z:" + the path with every "/" turned into "\".
  static std::string windowsPath(const std::filesystem::path& path);

  // Wine is an executable file and the completion marker exists; for the
  // system's Wine, one that starts 32-bit programs is installed.
  bool isInstalled() const;
  // Downloads (four attempts), unpacks and marks the runtime; removes every
  // other runtime. Throws NetError (download), RuntimeError (tar, missing
  // wine), std::filesystem::filesystem_error (folders), or SignatureError
  // with release keys when the description names no SHA-256. For the system's
  // Wine nothing is downloaded: it takes the usable Wine found now, or throws
  // RuntimeError::wine32Missing or wineMissing.
  QCoro::Task<> install(StatusCallback status);

  // The environment of every Wine program, starting from the launcher's own.
  std::map<std::string, std::string> environment(bool verbose) const;
  bool prefixReady() const;
  // Creates the prefix once: wineboot, registry defaults, marker. Throws
  // RuntimeError::wineboot or the registry file's write error.
  QCoro::Task<> preparePrefix(StatusCallback status);
  // Deletes "prefix" and every "prefix-*" entry of the support folder but ours.
  void removeOtherPrefixes() const;
  // Puts DXVK's d3d9.dll into the prefix; false (launch without DXVK) on any
  // trouble. Blocks on hashing: call from a worker.
  bool installDxvk() const;
  // Puts the shim into the client folder unless an identical one is there.
  // Throws std::system_error when it cannot be copied. Blocks: call from a worker.
  void installShim(const std::filesystem::path& shim) const;

  // --- Game launch, process control, Rosetta 2 and reset ---

  // environment(verbose) as the client gets it: the DXVK variables gone unless
  // `dxvk`, the shim's (and DXVK's) overrides added, the proxies pointed nowhere.
  std::map<std::string, std::string> launchEnvironment(bool verbose, bool dxvk) const;
  // Puts the shim and DXVK in place and starts the client under wine with
  // launchEnvironment only, in the client folder, output to a fresh wine.log.
  // Throws RuntimeError::missingBinary("wine") without a description, the
  // shim's copy error, or std::system_error when the process cannot start.
  // Blocks on hashing and copying: call from a worker.
  std::shared_ptr<GameProcess> launchGame(const std::filesystem::path& shim, bool verbose) const;
  // "wineserver -k": every Wine process of the prefix ends. Never throws.
  QCoro::Task<> killWine() const;
  // Stops Wine, then deletes every prefix and the runtimes folder. Never throws.
  QCoro::Task<> resetAll() const;
  // On Apple Silicon without Rosetta 2.
  static bool rosettaNeeded(const RosettaHost& host);
  // softwareupdate, then the same with administrator rights; true when Rosetta
  // 2 is present afterwards. Blocks for as long as the tools run.
  static bool installRosetta(const RosettaHost& host);

 private:
  Paths paths_;
  Timing timing_;
  // The description when neither the server nor the cached copy gives one.
  std::optional<RuntimeSpec> builtInSpec(const std::string& base) const;

  Network* network_;
  const WineHost* wines_;
  std::optional<RuntimeSpec> spec_;
};

}  // namespace qh
