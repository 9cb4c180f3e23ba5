#include "compat/layer_files.h"

#include "compat/runtime.h"
#include "core/error.h"
#include "net/network.h"

namespace qh {

namespace {

// The runtime is only asked for its locations here; nothing may reach a server.
class NoNetwork final : public Network {
 public:
  QCoro::Task<std::string> getString(std::string url) override {
    throw Error("no server is asked here: " + url);
    co_return std::string();
  }
  QCoro::Task<> fetch(std::string url, std::filesystem::path, int64_t, std::optional<std::string>,
                      Progress, Timing) override {
    throw Error("no server is asked here: " + url);
    co_return;
  }
};

}  // namespace

LayerFiles LayerFiles::read(const Paths& paths) {
  NoNetwork none;
  Runtime runtime(paths, Timing{}, none);
  LayerFiles files;
  files.cached = runtime.useCachedSpec();
  files.runtimeId = runtime.spec() ? runtime.spec()->id : std::string();
  files.systemWine = runtime.spec() && runtime.spec()->systemWine;
  files.cachedSpec = runtime.cachedSpecFile();
  files.prefixMarker = runtime.prefixMarker();
  files.wineLog = runtime.wineLog();
  files.runtimeInstalled = runtime.isInstalled();
  files.prefixReady = runtime.prefixReady();
  return files;
}

}  // namespace qh
