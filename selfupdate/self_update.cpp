#include "selfupdate/self_update.h"

#include <QUrl>
#include <charconv>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "core/async.h"
#include "core/files.h"
#include "core/log.h"
#include "core/os_layout.h"
#include "core/qh.h"
#include "core/text.h"
#include "net/downloader.h"
#include "net/hash.h"
#include "net/net.h"
#include "net/net_error.h"
#include "net/signature.h"
#include "platform/platform.h"
#include "platform/system_error.h"
#include "selfupdate/self_update_error.h"
#include "selfupdate/zip_guard.h"

namespace qh {

namespace fs = std::filesystem;

namespace SelfUpdate {
namespace {

const char* const translocatedText =
    "A launcher update is available. Move Quellhaven to your Applications folder so it can "
    "update itself.";
const char* const readOnlyText =
    "A launcher update is available, but this folder is read-only. Download the new launcher "
    "from the website.";
const char* const notValidText = "downloaded launcher is not a valid Quellhaven app";
const char* const notSignedText = "downloaded launcher is not signed by Quellhaven";

// The archive's signature file, read before the archive is downloaded so an
// unsigned one costs no download. Throws SelfUpdateError when the server has
// none or it is not a signature file, what Net::getString throws otherwise.
QCoro::Task<std::string> fetchSignature(std::string url, Timing timing) {
  std::string body;
  std::string missing;
  try {
    body = co_await Net::getString(Net::bust(url + ".sig"), timing);
    Signature::parse(body);
  } catch (const SignatureError& e) {
    missing = e.what();
  } catch (const NetError& e) {
    if (e.kind() != NetError::Kind::http || e.status() != 404) throw;
    missing = "no signature file (" + std::string(e.what()) + ")";
  }
  if (!missing.empty()) {
    throw SelfUpdateError(notSignedText, "launcher archive refused: " + missing);
  }
  co_return body;
}

// Returns when `signature` signs `zip` as the archive of `build`; throws
// SelfUpdateError otherwise. Blocks on hashing: workers only.
void checkSigned(const ReleaseKeys& keys, const std::string& signature, const fs::path& zip,
                 long long build) {
  const std::string& file = osLayout().launcherArchive;
  std::error_code ec;
  const auto size = fs::file_size(zip, ec);
  if (ec) throw systemError("size of", zip, ec);
  try {
    Signature::check(
        keys,
        Signature::launcherMessage(file, build, static_cast<int64_t>(size), Hash::sha256(zip)),
        signature);
  } catch (const SignatureError& e) {
    throw SelfUpdateError(notSignedText, "launcher archive refused: " + std::string(e.what()));
  }
}

// Each record is one line, whatever a lower layer put in its message.
std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

// The log says what the flow knows beyond the message first, then the message.
void recordFailure(const fs::path& stateDir, const std::string& message,
                   const std::string& logText) {
  if (logText != message) Log::line("selfupdate: " + oneLine(logText));
  const std::string stamp = Text::utcTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S +0000");
  Files::writeAtomic(stateDir / "selfupdate_last_error.txt", stamp + "  " + oneLine(message));
  Log::line("selfupdate: " + oneLine(message));
}

void removeQuietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

void announce(const Status& status, const std::string& text) {
  if (status) status(text);
}

// Unpacks `zip` into `into` when what it holds is safe to use; throws
// SelfUpdateError::unzipFailed otherwise.
void unpack(const fs::path& zip, const fs::path& into) {
  const int64_t declared = ZipGuard::inspect(zip, maxUnpackedBytes);
  // Unpacking to more than the entries declare means they lie: stop at once.
  if (Platform::unzip(zip, into, declared) != 0) throw SelfUpdateError("unzip failed");
  ZipGuard::checkUnpacked(into);
}

// The first entry of `folder`'s top level, in listing order, named "*.app".
std::optional<fs::path> firstApp(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() == ".app") return it->path();
  }
  return std::nullopt;
}

// Puts `fresh` where `running` is, keeping the old bundle at `backup` until
// the relaunch shell removes it.
void swapBundles(System& system, const fs::path& running, const fs::path& fresh,
                 const fs::path& backup) {
  removeQuietly(backup);
  if (auto ec = system.moveBundle(running, backup)) {
    throw fs::filesystem_error("cannot move the running launcher aside", running, backup, ec);
  }
  if (auto ec = system.moveBundle(fresh, running)) {
    system.moveBundle(backup, running);
    throw fs::filesystem_error("cannot move the new launcher into place", fresh, running, ec);
  }
}

bool validUrl(const std::string& url) {
  const QUrl u(QString::fromStdString(url), QUrl::StrictMode);
  return u.isValid() && !u.scheme().isEmpty() && !u.host().isEmpty();
}

// The steps that may fail; run() turns each failure into the record.
QCoro::Task<> attempt(Paths paths, Status status, Timing timing, std::shared_ptr<System> system) {
  const fs::path target = paths.stateDir / "selfupdate_target.txt";

  const OsLayout& layout = osLayout();
  const std::string versionUrl = Net::bust(paths.base + "/" + layout.launcherVersion);
  const std::string versionText = co_await Net::getString(versionUrl, timing);
  const Build server = parseBuild(Text::trimWhitespace(versionText));
  if (!server.value || *server.value <= QH::launcherBuild) {
    removeQuietly(target);
    if (server.outOfRange) throw SelfUpdateError("launcher version is out of range");
    co_return;
  }
  const long long build = *server.value;

  // A start right after a swap must not install the same build again.
  if (const auto marker = Files::readUtf8(target)) {
    const Build installed = parseBuild(Text::trimWhitespace(*marker));
    if (installed.value && *installed.value >= build) {
      removeQuietly(target);
      co_return;
    }
  }

  const auto running = system->runningBundle();
  if (!running) throw SelfUpdateError("the running launcher is not inside an application bundle");
  if (running->string().find("/AppTranslocation/") != std::string::npos) {
    announce(status, translocatedText);
    co_return;
  }
  if (!Platform::isWritable(running->parent_path())) {
    announce(status, readOnlyText);
    co_return;
  }
  announce(status, "Updating the launcher...");

  const fs::path work = paths.stateDir / "selfupdate";
  // A leftover unpacked launcher is thousands of files: cleared on a worker.
  co_await onWorker([work] {
    removeQuietly(work);
    std::error_code ec;
    fs::create_directories(work, ec);
    if (ec) throw fs::filesystem_error("cannot create the working folder", work, ec);
  });

  const std::string archiveUrl = paths.base + "/" + layout.launcherArchive;
  const std::string url = archiveUrl + "?v=" + std::to_string(build);
  if (!validUrl(url)) co_return;
  const ReleaseKeys keys = paths.releaseKeys;
  std::string signature;
  if (keys.enforced()) {
    signature = co_await fetchSignature(archiveUrl, timing);
  }
  const fs::path zip = work / "launcher.zip";
  co_await Downloader::fetch({.url = url, .target = zip, .timing = timing});
  if (keys.enforced()) {
    co_await onWorker([keys, signature, zip, build] { checkSigned(keys, signature, zip, build); });
  }

  const fs::path unpacked = work / "x";
  co_await onWorker([zip, unpacked] { unpack(zip, unpacked); });

  const auto fresh = firstApp(unpacked);
  const auto info = fresh ? Platform::openBundle(*fresh) : std::nullopt;
  if (!info || info->identifier != system->runningBundleIdentifier()) {
    throw SelfUpdateError(notValidText);
  }

  const fs::path bundle = *running;
  const fs::path backup = bundle.parent_path() / (bundle.filename().string() + ".old");
  const fs::path freshBundle = *fresh;
  co_await onWorker(
      [system, bundle, freshBundle, backup] { swapBundles(*system, bundle, freshBundle, backup); });

  co_await onWorker([target, build, work] {
    Files::writeAtomic(target, std::to_string(build));
    removeQuietly(work);
  });
  if (auto err = system->startRelaunch(backup, bundle))
    throw systemError("cannot start", "/bin/sh", err);
  system->terminate();
}

}  // namespace

Build parseBuild(std::string_view text) {
  Build b;
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return b;
  long long value = 0;
  const char* first = text.data() + (text.front() == '+' ? 1 : 0);
  const auto [end, err] = std::from_chars(first, text.data() + text.size(), value);
  if (err == std::errc::result_out_of_range) {
    b.outOfRange = true;
    return b;
  }
  if (err != std::errc() || end != text.data() + text.size()) return b;
  b.value = value;
  return b;
}

QCoro::Task<> run(Paths paths, Status status, Timing timing, std::shared_ptr<System> system) {
  const fs::path stateDir = paths.stateDir;
  std::string message, logText;
  try {
    co_await attempt(std::move(paths), std::move(status), std::move(timing), std::move(system));
    co_return;
  } catch (const Error& e) {
    message = e.what();
    logText = e.logText();
  } catch (const std::exception& e) {
    message = logText = e.what();
  } catch (...) {
    message = logText = "unknown failure";
  }
  // The record is flushed to disk: on a worker, after the handler.
  co_await onWorker([stateDir, message, logText] { recordFailure(stateDir, message, logText); });
}

}  // namespace SelfUpdate

}  // namespace qh
