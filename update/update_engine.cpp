#include "update/update_engine.h"

#include <filesystem>

#include "core/async.h"
#include "core/error.h"
#include "core/log.h"
#include "core/text.h"
#include "net/downloader.h"
#include "net/net.h"
#include "net/net_error.h"
#include "net/signature.h"
#include "update/block_map.h"
#include "update/compare.h"
#include "update/delta_update.h"
#include "update/download_log.h"
#include "update/download_progress.h"
#include "update/install_tree.h"
#include "update/last_comparison.h"
#include "update/markers.h"

namespace qh {

namespace fs = std::filesystem;

namespace UpdateEngine {
namespace {

constexpr int attempts = 4;

std::string normalisedManifest(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return Text::trimWhitespace(out);
}

bool gameExeExists(const Paths& paths) {
  std::error_code ec;
  return fs::exists(paths.gameExe(), ec);
}

struct Remote {
  std::string version;
  std::string manifest;
};

const char* const unsignedText = "The file list is not signed by Quellhaven.";
const char* const unsignedDetail =
    "Nothing was changed. Try again later, and tell us if this keeps happening.";

// "<url>.sig" as the server answers it; a 404 means the file is unsigned.
// Throws SignatureError for that, and what Net::getString throws otherwise.
QCoro::Task<std::string> fetchSignature(std::string url, Timing timing) {
  std::string body;
  try {
    body = co_await Net::getString(Net::bust(url + ".sig"), timing);
  } catch (const NetError& e) {
    if (e.kind() != NetError::Kind::http || e.status() != 404) throw;
    throw SignatureError("no signature file (" + std::string(e.what()) + ")");
  }
  co_return body;
}

// The version and manifest texts. Throws what Net::getString throws, and
// Error when the server answers with a web page.
QCoro::Task<Remote> fetchRemote(std::shared_ptr<UpdateHost> host) {
  const std::string base = host->paths().base;
  // The host's time-outs hold for the two texts as for every file.
  const Timing timing = host->timing();
  Remote remote;
  remote.version =
      Text::trimWhitespace(co_await Net::getString(Net::bust(base + "/version.txt"), timing));
  host->setStatus("Reading file list...");
  remote.manifest = co_await Net::getString(Net::bust(base + "/manifest.txt"), timing);
  // A captive portal or a misconfigured server answers 200 with a web page.
  if (remote.version.find('<') != std::string::npos) {
    throw Error("The server sent a web page instead of the client version.");
  }
  const ReleaseKeys keys = host->paths().releaseKeys;
  if (keys.enforced()) {
    const std::string signature = co_await fetchSignature(base + "/manifest.txt", timing);
    // Hashing a list of megabytes is no work for the main thread.
    co_await onWorker([keys, signature, version = remote.version, manifest = remote.manifest] {
      Signature::check(keys, Signature::manifestMessage(version, manifest), signature);
    });
  }
  co_return remote;
}

// What the engine decides from the two texts and the markers, worked out on a
// worker: a list of a hundred thousand files takes longer to parse and
// compare than the window may wait.
struct Plan {
  std::vector<ManifestEntry> entries;
  std::vector<std::string> officialAddons;
  Compare::Known known;
  bool unchanged = false;
};

Plan makePlan(const Remote& remote, const Paths& paths, bool force) {
  Plan plan;
  plan.entries = Manifest::parse(remote.manifest);
  if (plan.entries.empty()) return plan;
  std::vector<ManifestEntry> plausible;
  for (const ManifestEntry& e : plan.entries) {
    if (SafePath::lexicalProblem(e.rel) == SafePath::Problem::none) plausible.push_back(e);
  }
  plan.officialAddons = Manifest::officialAddons(plausible);
  const std::string localVersion = Markers::readVersion(paths.installDir);
  const std::string localManifest = Markers::readManifest(paths.installDir);
  plan.unchanged = !force && !remote.version.empty() && remote.version == localVersion &&
                   gameExeExists(paths) &&
                   normalisedManifest(localManifest) == normalisedManifest(remote.manifest);
  if (plan.unchanged) {
    // Nothing to compare: the list is freed here rather than on the main thread.
    plan.entries.resize(1);
    plan.entries.shrink_to_fit();
  } else {
    plan.known = Compare::knownChecksums(Manifest::parse(localManifest));
  }
  return plan;
}

// The markers are flushed to disk, which may take long on a busy disk.
QCoro::Task<> writeMarkers(Paths paths, std::shared_ptr<const Remote> remote) {
  co_await onWorker(
      [paths, remote] { Markers::write(paths.installDir, remote->version, remote->manifest); });
}

QCoro::Task<> appendLog(std::filesystem::path stateDir, std::string rel, int attempt,
                        std::string message) {
  co_await onWorker(
      [stateDir, rel, attempt, message] { DownloadLog::append(stateDir, rel, attempt, message); });
}

struct Outcome {
  int failed = 0;
  int skipped = 0;
  std::string lastError;
};

std::string downloadLabel(size_t index, size_t count) {
  return "Downloading " + std::to_string(index + 1) + " of " + std::to_string(count);
}

// A large file that changed is first brought up to date from its old copy;
// false when that was not possible, and the file is to be downloaded whole.
bool deltaUpdated(const Paths& paths, const ManifestEntry& entry, DownloadProgress::Tally& tally,
                  const Downloader::Progress& progress, const Timing& timing,
                  const Downloader::Cancel& cancel, const std::shared_ptr<Transport>& transport) {
  const fs::path target = paths.installDir / entry.rel;
  if (!DeltaUpdate::worthTrying(target, entry.size)) return false;
  ManifestEntry map = entry;
  map.rel += BlockMap::suffix;
  return DeltaUpdate::tryApply({.fileUrl = fileUrl(paths.base, entry, 1),
                                .mapUrl = fileUrl(paths.base, map, 1),
                                .target = target,
                                .expectedSize = entry.size,
                                .sha1 = entry.sha1,
                                .progress = progress,
                                .planned = [&tally](int64_t bytes) { tally.plan(bytes); },
                                .timing = timing,
                                .cancel = cancel,
                                .transport = transport});
}

// Where a run of first attempts stopped: at `index` (the number of needed
// files when all of them arrived), with that file's first outcome.
struct Stop {
  size_t index = 0;
  bool notFound = false;
  std::string error;
};

// The first attempt at each of needed[from...], one after another on the
// calling thread, until one fails. Most files arrive at their first attempt,
// and a run of small files goes as fast as the connection allows only when
// nothing waits for the main thread between them.
Stop firstAttempts(const std::vector<ManifestEntry>& needed, size_t from,
                   DownloadProgress::Tally& tally, const Paths& paths, const Timing& timing,
                   const std::shared_ptr<Transport>& transport, const StatusCallback& report) {
  auto pacer =
      std::make_shared<DownloadProgress::Pacer>(report, timing.clock, timing.progressInterval);
  const StatusCallback paced = [pacer](const std::string& status, std::optional<double> progress) {
    pacer->report(status, progress);
  };
  const Downloader::Cancel cancel = std::make_shared<std::atomic<bool>>(false);
  const Downloader::Hold held(cancel);
  Stop stop;
  for (stop.index = from; stop.index < needed.size(); ++stop.index) {
    if (cancel->load()) {
      stop.error = "Download cancelled";
      break;
    }
    const ManifestEntry& entry = needed[stop.index];
    tally.begin(stop.index);
    const Downloader::Progress progress =
        tally.action(downloadLabel(stop.index, needed.size()), paced);
    try {
      if (!deltaUpdated(paths, entry, tally, progress, timing, cancel, transport)) {
        if (cancel->load()) throw TransportError("Download cancelled");
        // What a failed delta fetched is left out: the file counts whole again.
        tally.begin(stop.index);
        Downloader::fetchBlocking({.url = fileUrl(paths.base, entry, 1),
                                   .target = paths.installDir / entry.rel,
                                   .expectedSize = entry.size,
                                   .sha1 = entry.sha1,
                                   .progress = progress,
                                   .timing = timing,
                                   .cancel = cancel,
                                   .transport = transport});
      }
    } catch (const NetError& e) {
      stop.notFound = e.kind() == NetError::Kind::http && e.status() == 404;
      stop.error = e.what();
      break;
    } catch (const std::exception& e) {
      stop.error = e.what();
      break;
    }
    tally.finish();
    pacer->progress(tally.fraction());
  }
  pacer->flush();
  return stop;
}

QCoro::Task<Outcome> downloadAll(std::shared_ptr<UpdateHost> host, std::vector<ManifestEntry> list,
                                 std::shared_ptr<Transport> transport) {
  const auto needed = std::make_shared<const std::vector<ManifestEntry>>(std::move(list));
  const Paths paths = host->paths();
  const Timing timing = host->timing();
  std::vector<int64_t> sizes;
  for (const ManifestEntry& e : *needed) sizes.push_back(e.size);
  const auto tally = std::make_shared<DownloadProgress::Tally>(sizes, timing.clock);
  Outcome out;
  const StatusCallback report = host->reporter();
  for (size_t i = 0; i < needed->size(); ++i) {
    const Stop stop = co_await onOwnThread([needed, i, tally, paths, timing, transport, report] {
      return firstAttempts(*needed, i, *tally, paths, timing, transport, report);
    });
    i = stop.index;
    host->setProgress(tally->fraction());
    if (i == needed->size()) break;

    // The file at i failed its first attempt; the next ones are made from here.
    const ManifestEntry& entry = (*needed)[i];
    const std::string label = downloadLabel(i, needed->size());
    bool notFound = stop.notFound;
    std::string error = stop.error;
    // The next attempts download the file whole.
    tally->begin(i);
    for (int attempt = 1;; ++attempt) {
      if (attempt > 1) {
        notFound = false;
        Downloader::Progress progress = tally->action(label, report);
        try {
          co_await Downloader::fetch({.url = fileUrl(paths.base, entry, attempt),
                                      .target = paths.installDir / entry.rel,
                                      .expectedSize = entry.size,
                                      .sha1 = entry.sha1,
                                      .progress = progress,
                                      .timing = timing,
                                      .transport = transport});
          break;
        } catch (const NetError& e) {
          notFound = e.kind() == NetError::Kind::http && e.status() == 404;
          error = e.what();
        } catch (const std::exception& e) {
          error = e.what();
        }
      }
      // Written after the handler: a coroutine cannot suspend inside one.
      if (notFound) {
        ++out.skipped;
        co_await appendLog(paths.stateDir, entry.rel, attempt, "404 not on server, skipped");
        break;
      }
      out.lastError = error;
      co_await appendLog(paths.stateDir, entry.rel, attempt, error);
      if (attempt == attempts) {
        ++out.failed;
        break;
      }
      host->setDetail("Retrying (" + std::to_string(attempt) + "/3)...");
      co_await timing.clock->wait(attempt * timing.downloadRetryStep);
    }
    tally->finish();
    host->setProgress(tally->fraction());
  }
  co_return out;
}

}  // namespace

std::string fileUrl(const std::string& base, const ManifestEntry& entry, int attempt) {
  static constexpr std::string_view allowed = "!$&'()*+,-./:;=@_~";
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string url = base + "/";
  for (const char ch : entry.rel) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
        allowed.find(ch) != std::string_view::npos) {
      url += ch;
    } else {
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 15];
    }
  }
  url += "?v=" + entry.sha1.substr(0, 8);
  if (attempt >= 2) url += "&r=" + std::to_string(attempt);
  return url;
}

QCoro::Task<> sync(std::shared_ptr<UpdateHost> host, bool force,
                   std::shared_ptr<Transport> transport) {
  // The run's requests share a connection; once it ends, none stays open.
  const struct CloseConnections {
    ~CloseConnections() { Net::closeIdleConnections(); }
  } closeConnections;
  host->setPhase(Phase::working);
  host->setProgress(std::nullopt);
  host->setDetail("");
  host->setStatus("Checking for updates...");

  std::optional<Remote> fetched;
  std::string problem;
  bool refused = false;
  try {
    fetched = co_await fetchRemote(host);
  } catch (const SignatureError& e) {
    refused = true;
    problem = e.what();
  } catch (const std::exception& e) {
    problem = e.what();
  }
  const Paths paths = host->paths();
  if (refused) Log::line("update refused: manifest.txt: " + problem);
  if (!fetched) {
    host->setStatus("Problem: " + (refused ? std::string(unsignedText) : problem));
    host->setDetail(refused ? unsignedDetail : "Check your internet connection, then try again.");
    host->setPhase(gameExeExists(paths) ? Phase::ready : Phase::needInstall);
    co_return;
  }

  // The list runs to megabytes: shared, it is never copied on this thread.
  const auto remote = std::make_shared<const Remote>(std::move(*fetched));
  Plan plan = co_await onWorker([remote, paths, force] { return makePlan(*remote, paths, force); });
  if (plan.entries.empty()) {
    host->setStatus("Problem: The server's file list is empty or unreadable.");
    host->setDetail("Check your internet connection, then try again.");
    host->setPhase(gameExeExists(paths) ? Phase::ready : Phase::needInstall);
    co_return;
  }
  host->setOfficialAddons(std::move(plan.officialAddons));

  if (plan.unchanged) {
    co_await host->finishReady(remote->version, "Up to date", true);
    co_return;
  }

  host->setStatus(force ? "Verifying files..." : "Comparing files...");
  const StatusCallback report = host->reporter();
  std::vector<ManifestEntry> needed =
      co_await onWorker([entries = std::move(plan.entries), known = std::move(plan.known),
                         dir = paths.installDir, state = paths.stateDir, force, report] {
        std::vector<ManifestEntry> different =
            Compare::neededEntries(entries, known, dir, force, report);
        LastComparison::write(state, different);
        return different;
      });

  if (needed.empty()) {
    co_await writeMarkers(paths, remote);
    co_await host->finishReady(remote->version, "Up to date", true);
    co_return;
  }

  if (host->gameRunning()) {
    host->setStatus("An update is available, but the game is running.");
    host->setDetail("Close Quellhaven and press RETRY to update.");
    host->setPhase(Phase::needInstall);
    co_return;
  }

  const Outcome outcome = co_await downloadAll(host, std::move(needed), transport);

  if (outcome.failed > 0) {
    host->setStatus("Couldn't fetch " + std::to_string(outcome.failed) +
                    " file(s) - press RETRY (finished files are kept).");
    host->setDetail("Last error: " + outcome.lastError);
    host->setPhase(Phase::needInstall);
    co_return;
  }
  co_await writeMarkers(paths, remote);
  co_await host->clientFilesChanged();
  const std::string summary = outcome.skipped == 0 ? std::string("Installed")
                                                   : "Ready (" + std::to_string(outcome.skipped) +
                                                         " unavailable file(s) skipped)";
  co_await host->finishReady(remote->version, summary, true);
}

}  // namespace UpdateEngine

}  // namespace qh
