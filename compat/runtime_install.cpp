// Runtime installation: download with retries, unpack, mark, clean up.
#include <unistd.h>

#include <exception>

#include "compat/program.h"
#include "compat/runtime.h"
#include "compat/system_wine.h"
#include "core/async.h"
#include "core/files.h"
#include "core/log.h"
#include "core/os_layout.h"
#include "core/text.h"
#include "net/network.h"
#include "net/signature.h"
#include "platform/platform.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

constexpr int kDownloadAttempts = 4;
// "Mac" on macOS, "Wine" on Linux.
std::string downloadingText() {
  return "Downloading the " + osLayout().layerName + " compatibility layer (one time)...";
}

std::string unsignedRuntimeText() {
  return "The " + osLayout().layerName +
         " compatibility layer is not signed by Quellhaven, so it was not downloaded.";
}

bool isExecutableFile(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec) && ::access(file.c_str(), X_OK) == 0;
}

void report(const StatusCallback& status, const std::string& text, std::optional<double> progress) {
  if (status) status(text, progress);
}

std::string progressText(int64_t received, int64_t size) {
  constexpr double mb = 1048576.0;
  return downloadingText() + "  " + Text::fixed(static_cast<double>(received) / mb, 0) + " / " +
         Text::fixed(size < 1 ? 0.0 : static_cast<double>(size) / mb, 0) + " MB";
}

// Everything in the runtimes folder but the runtime `keep`: older runtimes
// and leftover archives alike.
void removeAllBut(const fs::path& runtimesDir, const std::string& keep) {
  std::error_code ec;
  fs::directory_iterator it(runtimesDir, ec);
  if (ec) return;
  std::vector<fs::path> doomed;
  for (const auto& entry : it) {
    if (entry.path().filename() != keep) doomed.push_back(entry.path());
  }
  for (const auto& path : doomed) fs::remove_all(path, ec);
}

}  // namespace

bool Runtime::isInstalled() const {
  if (spec_ && spec_->systemWine) return SystemWine::find(*wines_).usable();
  const auto w = wine();
  std::error_code ec;
  return w && isExecutableFile(*w) && fs::exists(*completionMarker(), ec);
}

QCoro::Task<> Runtime::install(StatusCallback status) {
  if (!spec_) co_return;
  // A copy: nothing below may see a description replaced while it waits.
  const RuntimeSpec spec = *spec_;
  if (spec.systemWine) {
    // Asked again each time: the player may have installed Wine since.
    const SystemWine::Found found = SystemWine::find(*wines_);
    if (found.support == SystemWine::Support::none) throw RuntimeError::wineMissing();
    if (!found.usable()) throw RuntimeError::wine32Missing();
    spec_->wineBin = found.wine.string();
    Log::line("runtime: the system's Wine, " + spec_->wineBin +
              (found.support == SystemWine::Support::wow64 ? " (WoW64)" : " (wine32)"));
    co_return;
  }
  if (isInstalled()) co_return;
  // A signed description binds its archive by the SHA-256 it names; without
  // one (the built-in description) nothing would.
  if (paths_.releaseKeys.enforced() && spec.sha256.empty()) {
    throw SignatureError(unsignedRuntimeText(),
                         "runtime archive refused: its description names no SHA-256");
  }
  const fs::path root = runtimesDir();
  const fs::path archiveFile = root / (spec.id + ".tar.xz");
  const fs::path dir = root / spec.id;
  fs::create_directories(root);

  report(status, downloadingText(), 0.0);
  const int64_t size = spec.size;
  Network::Progress progress = [status, size](int64_t received) {
    std::optional<double> fraction;
    if (size >= 1) fraction = static_cast<double>(received) / static_cast<double>(size);
    report(status, progressText(received, size), fraction);
  };
  const std::optional<std::string> sha256 =
      spec.sha256.empty() ? std::nullopt : std::optional<std::string>(spec.sha256);
  for (int attempt = 1;; ++attempt) {
    std::exception_ptr failure;
    std::string reason;
    try {
      co_await network_->fetch(spec.url, archiveFile, size, sha256, progress, timing_);
    } catch (const std::exception& e) {
      failure = std::current_exception();
      reason = e.what();
    }
    if (!failure) break;
    Log::line("runtime download attempt " + std::to_string(attempt) + ": " + reason);
    co_await timing_.clock->wait(attempt * timing_.runtimeRetryStep);
    if (attempt == kDownloadAttempts) std::rethrow_exception(failure);
  }

  report(status, "Unpacking the compatibility layer...", std::nullopt);
  co_await onWorker([dir] {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    fs::create_directories(dir);
  });
  // GNU and BSD tar both refuse members that climb out with ".." and strip
  // leading "/", and neither writes through a link the archive itself made.
  const int tarStatus =
      co_await Program::run(Platform::tarPath(), {"-xf", archiveFile.string(), "-C", dir.string()},
                            std::nullopt, std::nullopt);
  if (tarStatus != 0) throw RuntimeError::extractFailed(tarStatus);
  co_await onWorker([dir] { Platform::clearQuarantine(dir); });

  // The archive may carry links (its libraries need them), but what the
  // launcher runs, loads or copies must lie in the runtime folder itself.
  const std::string wineserver = fs::path(spec.wineBin).replace_filename("wineserver").string();
  for (const std::optional<std::string>& item :
       {std::optional(spec.wineBin), std::optional(wineserver), spec.libDir, spec.dxvkDll}) {
    if (item && !Files::resolvesInside(dir, dir / *item)) throw RuntimeError::missingBinary(*item);
  }
  if (!isExecutableFile(dir / spec.wineBin)) throw RuntimeError::missingBinary(spec.wineBin);
  co_await onWorker([root, archiveFile, dir, id = spec.id] {
    std::error_code ignored;
    fs::remove(archiveFile, ignored);
    Files::writeAtomic(dir / ".qh_complete", id);
    removeAllBut(root, id);
  });
}

}  // namespace qh
