#include "compat/runtime.h"

#include <unistd.h>

#include <algorithm>

#include "core/async.h"
#include "core/files.h"
#include "net/net.h"
#include "net/network.h"

namespace qh {

namespace fs = std::filesystem;

Runtime::Runtime(Paths paths, Timing timing, Network& network)
    : paths_(std::move(paths)), timing_(std::move(timing)), network_(&network) {}

QCoro::Task<> Runtime::resolveSpec() {
  const std::string base = paths_.base + "/mac";
  std::optional<std::string> fetched;
  try {
    std::string body = co_await network_->getString(Net::bust(base + "/runtime.txt"));
    fetched = std::move(body);
  } catch (const std::exception&) {
    // Falls through to the cached copy.
  }
  // The cached copy is written (and flushed) or read on a worker.
  std::optional<RuntimeSpec> spec =
      co_await onWorker([fetched = std::move(fetched), base, cached = cachedSpecFile()] {
        if (fetched) {
          if (auto spec = RuntimeSpec::parse(*fetched, base)) {
            Files::writeAtomic(cached, *fetched);
            return spec;
          }
        }
        if (const auto text = Files::readUtf8(cached)) {
          if (auto spec = RuntimeSpec::parse(*text, base)) return spec;
        }
        return std::optional<RuntimeSpec>();
      });
  spec_ = spec ? std::move(spec) : RuntimeSpec::from(fallbackRuntime(), base);
}

fs::path Runtime::cachedSpecFile() const {
  return paths_.stateDir / "runtime.txt";
}

fs::path Runtime::runtimesDir() const {
  return paths_.stateDir / "runtime";
}

std::optional<fs::path> Runtime::runtimeDir() const {
  if (!spec_) return std::nullopt;
  return runtimesDir() / spec_->id;
}

std::optional<fs::path> Runtime::completionMarker() const {
  if (!spec_) return std::nullopt;
  return *runtimeDir() / ".qh_complete";
}

std::optional<fs::path> Runtime::wine() const {
  if (!spec_) return std::nullopt;
  return *runtimeDir() / spec_->wineBin;
}

std::optional<fs::path> Runtime::wineserver() const {
  auto w = wine();
  if (!w) return std::nullopt;
  return w->replace_filename("wineserver");
}

std::optional<fs::path> Runtime::libraryDir() const {
  if (!spec_ || !spec_->libDir) return std::nullopt;
  return *runtimeDir() / *spec_->libDir;
}

std::optional<fs::path> Runtime::dxvkSource() const {
  if (!spec_ || !spec_->dxvkDll) return std::nullopt;
  fs::path source = *runtimeDir() / *spec_->dxvkDll;
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) return std::nullopt;
  return source;
}

fs::path Runtime::prefixDir() const {
  return paths_.stateDir / ("prefix-" + (spec_ ? spec_->id : std::string("none")));
}

fs::path Runtime::prefixMarker() const {
  return prefixDir() / (".qh_prefix_" + (spec_ ? spec_->id : std::string()));
}

fs::path Runtime::registryFile() const {
  return paths_.stateDir / "qh_prefix.reg";
}

fs::path Runtime::wineLog() const {
  return paths_.stateDir / "wine.log";
}

fs::path Runtime::dxvkCacheDir() const {
  return paths_.stateDir / "dxvk-cache";
}

std::string Runtime::windowsPath(const fs::path& path) {
  std::string p = path.string();
  std::replace(p.begin(), p.end(), '/', '\\');
  return "Z:" + p;
}

}  // namespace qh
