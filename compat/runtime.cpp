#include "compat/runtime.h"

#include <unistd.h>

#include <algorithm>

#include "compat/system_wine.h"
#include "core/async.h"
#include "core/files.h"
#include "core/log.h"
#include "core/os_layout.h"
#include "net/net.h"
#include "net/network.h"
#include "net/signature.h"

namespace qh {

namespace fs = std::filesystem;

Runtime::Runtime(Paths paths, Timing timing, Network& network)
    : Runtime(std::move(paths), std::move(timing), network, SystemWine::realHost()) {}

Runtime::Runtime(Paths paths, Timing timing, Network& network, const WineHost& wines)
    : paths_(std::move(paths)), timing_(std::move(timing)), network_(&network), wines_(&wines) {}

namespace {

// Where a description came from, for the log.
struct Source {
  std::string text;
  // Its signature file; nullopt when there is none, and why.
  std::optional<std::string> signature;
  std::string missing;
};

// The description `source` gives, or nullopt. With release keys, one
// without a valid signature gives none, and the log says why.
std::optional<RuntimeSpec> usable(const Source& source, const ReleaseKeys& keys,
                                  const std::string& base, const char* where) {
  if (keys.enforced()) {
    try {
      if (!source.signature) throw SignatureError(source.missing);
      Signature::check(keys, Signature::runtimeMessage(osLayout().runtimeDescription, source.text),
                       *source.signature);
    } catch (const std::exception& e) {
      // SignatureError, or libcrypto missing: either way nothing vouches for it.
      Log::line(std::string("runtime description refused (") + where + "): " + e.what());
      return std::nullopt;
    }
  }
  return RuntimeSpec::parse(source.text, base);
}

}  // namespace

QCoro::Task<> Runtime::resolveSpec() {
  const OsLayout& layout = osLayout();
  // Relative archive URLs are read against the description's folder.
  const std::string base = paths_.base + "/" + layout.folder;
  const std::string url = paths_.base + "/" + layout.runtimeDescription;
  const ReleaseKeys keys = paths_.releaseKeys;
  std::optional<Source> fetched;
  try {
    std::string body = co_await network_->getString(Net::bust(url));
    fetched = Source{std::move(body), std::nullopt, {}};
  } catch (const std::exception&) {
    // Falls through to the cached copy.
  }
  if (fetched && keys.enforced()) {
    try {
      std::string signature = co_await network_->getString(Net::bust(url + ".sig"));
      fetched->signature = std::move(signature);
    } catch (const std::exception& e) {
      fetched->missing = std::string("no signature file (") + e.what() + ")";
    }
  }
  // The cached copy is written (and flushed) or read on a worker.
  std::optional<RuntimeSpec> spec =
      co_await onWorker([fetched = std::move(fetched), base, keys, cached = cachedSpecFile()] {
        const fs::path cachedSignature = cached.string() + ".sig";
        if (fetched) {
          if (auto spec = usable(*fetched, keys, base, "server")) {
            // The signature first: a copy whose text is newer than its
            // signature is refused, never trusted.
            if (fetched->signature) Files::writeAtomic(cachedSignature, *fetched->signature);
            Files::writeAtomic(cached, fetched->text);
            return spec;
          }
        }
        if (auto text = Files::readUtf8(cached)) {
          const Source copy{std::move(*text), Files::read(cachedSignature), "no cached signature"};
          if (auto spec = usable(copy, keys, base, "cached copy")) return spec;
        }
        return std::optional<RuntimeSpec>();
      });
  if (!spec && keys.enforced()) Log::line("runtime description: the built-in one is used");
  spec_ = spec ? std::move(spec) : builtInSpec(base);
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
  if (spec_->systemWine) return fs::path(spec_->wineBin);
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
