#include "model/diagnostics.h"

#include <ctime>
#include <system_error>

#include "client/config_wtf.h"
#include "client/realm_list.h"
#include "compat/layer_files.h"
#include "core/files.h"
#include "model/diagnostics_files.h"
#include "model/diagnostics_redaction.h"
#include "model/diagnostics_system.h"
#include "model/diagnostics_zip.h"
#include "platform/system_error.h"
#include "update/download_log.h"
#include "update/integrity_report.h"

namespace qh::Diagnostics {

namespace fs = std::filesystem;

namespace {

// Every spelling of the home folder a file may carry: as the system names
// it, and with its links resolved.
std::vector<std::string> homeSpellings(const fs::path& home) {
  std::vector<std::string> homes{home.string()};
  std::error_code ec;
  const fs::path resolved = fs::canonical(home, ec);
  if (!ec && resolved != home) homes.push_back(resolved.string());
  return homes;
}

class Collector {
 public:
  Collector(const Input& input, ZipArchive& zip)
      : input_(input),
        zip_(zip),
        redaction_(homeSpellings(input.home), input.user),
        when_(std::chrono::system_clock::to_time_t(input.when)) {}

  // Adds `file` as `name`: its last fileCap bytes, hidden. A file that cannot
  // be read or is not text is left out with the reason.
  void add(const std::string& name, const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec))) {
      leaveOut(name, "not found");
      return;
    }
    if (!fs::is_regular_file(file, ec)) {
      leaveOut(name, "not a regular file");
      return;
    }
    Tail tail;
    try {
      tail = readTail(file, fileCap);
    } catch (const std::system_error& e) {
      leaveOut(name, e.what());
      return;
    }
    // A zero byte means a binary (a crash dump): it may carry the player's
    // name where no text rule can find it, so it stays home.
    if (tail.bytes.find('\0') != std::string::npos) {
      leaveOut(name, "not a text file");
      return;
    }
    bool cut = tail.cut;
    // Hiding can lengthen a line ("<user>" for "al"), so the cap is applied again.
    const std::string text = lastLines(redaction_.apply(tail.bytes), fileCap, cut);
    zip_.add(name, text, when_);
    saved_.entries.push_back(name);
    if (cut) leaveOut(name, "only its last lines; the file has " + sizeText(tail.size));
  }

  // A file of the client folder, read only where it resolves inside it.
  void addClientFile(const std::string& name, const fs::path& file) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec)) &&
        !Files::resolvesInside(input_.paths.installDir, file)) {
      leaveOut(name, "leads outside the client folder");
      return;
    }
    add(name, file);
  }

  void leaveOut(std::string name, std::string reason) {
    saved_.leftOut.push_back({std::move(name), std::move(reason)});
  }

  void addSystem(const LayerFiles& layer) {
    const std::string text = redaction_.apply(render(gatherFacts(input_, layer), saved_.leftOut));
    zip_.add("system.txt", text, when_);
    saved_.entries.push_back("system.txt");
  }

  Saved take() { return std::move(saved_); }

 private:
  const Input& input_;
  ZipArchive& zip_;
  Redaction redaction_;
  std::time_t when_;
  Saved saved_;
};

// The name a support-folder file has in the zip: its path below the folder.
std::string supportName(const Paths& paths, const fs::path& file) {
  return file.lexically_relative(paths.stateDir).generic_string();
}

void addClient(Collector& collector, const Paths& paths) {
  std::error_code ec;
  if (!fs::is_directory(paths.installDir, ec)) {
    collector.leaveOut("client/", "the install folder does not exist");
    return;
  }
  auto clientName = [&](const fs::path& file) {
    return "client/" + file.lexically_relative(paths.installDir).generic_string();
  };
  for (const fs::path& file : {ClientFiles::configWtfPath(paths), ClientFiles::realmListPath(paths),
                               IntegrityReport::file(paths.installDir)})
    collector.addClientFile(clientName(file), file);

  const fs::path logs = paths.installDir / "Logs";
  if (!fs::is_directory(logs, ec) || !Files::resolvesInside(paths.installDir, logs)) {
    collector.leaveOut("client/Logs/", "not found");
    return;
  }
  const Listing listing = newestFiles(logs, maxClientLogs);
  for (const fs::path& file : listing.files) collector.addClientFile(clientName(file), file);
  if (listing.more > 0)
    collector.leaveOut("client/Logs/", std::to_string(listing.more) +
                                           " older file(s) past the first " +
                                           std::to_string(maxClientLogs));
}

}  // namespace

Saved write(const Input& input, const fs::path& zipFile) {
  const Paths& paths = input.paths;
  const LayerFiles layer = LayerFiles::read(paths);
  ZipArchive zip;
  Collector collector(input, zip);
  collector.add("launcher.log", paths.stateDir / "launcher.log");
  collector.add(DownloadLog::fileName, paths.stateDir / DownloadLog::fileName);
  collector.add(supportName(paths, layer.wineLog), layer.wineLog);
  collector.add(supportName(paths, layer.cachedSpec), layer.cachedSpec);
  collector.add(supportName(paths, layer.prefixMarker), layer.prefixMarker);
  addClient(collector, paths);
  collector.addSystem(layer);
  const std::string bytes = zip.finish();
  if (const std::error_code ec = Files::writeAtomic(zipFile, bytes))
    throw systemError("write", zipFile, ec);
  return collector.take();
}

std::string fileName(std::chrono::system_clock::time_point when) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&t, &local);
  char stamp[32];
  std::strftime(stamp, sizeof(stamp), "%Y%m%d-%H%M%S", &local);
  return std::string("Quellhaven-diagnostics-") + stamp + ".zip";
}

}  // namespace qh::Diagnostics
