// bench-e2e: a first install of the demo's 150 MB client over loopback at
// unlimited speed. The launcher's time from its start to `ready` is divided by
// the time /usr/bin/curl takes to fetch the same files one after another (one
// curl process, so it reuses its connection as the launcher does), from the
// same server in the same run. Each side runs RUNS times, alternating, into a
// fresh folder each time; the best run of each side is compared, so a burst of
// other work on the machine spoils one run, not the figure. Last line:
// "ratio: X" (lower is better; 1.0 means as fast as curl).
//   bench-e2e [MEGABYTES] [FILES] [RUNS]   (default 150 300 3)
// With QH_BENCH_LOG=<file> the launcher's output of every run is appended there.
#include <stdlib.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/files.h"
#include "core/qh.h"
#include "tools/sample/sample_client.h"
#include "tools/serve/static_server.h"
#include "update/manifest.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

std::string percentEncoded(const std::string& rel) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : rel) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// When the launcher's autopilot told each step, in seconds from its start:
// its window is built ("start", before the first frame), the first file is on
// its way (after the first frame, the start-up requests and the comparison),
// the files are in (the compatibility layer comes next), and "ready"; -1
// until seen.
struct Steps {
  double window = -1, download = -1, finishing = -1, ready = -1;
  // From the launcher's own log, seconds from its main().
  double firstFrame = -1;
};

// "first frame shown after N ms" from the launcher's log, in seconds, or -1.
double firstFrame(const fs::path& home) {
  const std::string log = Files::read(home / "data/Quellhaven/launcher.log").value_or("");
  const std::string key = "first frame shown after ";
  const size_t at = log.find(key);
  return at == std::string::npos ? -1 : std::atof(log.c_str() + at + key.size()) / 1000.0;
}

// Seconds from the launcher's start to its autopilot's "ready" line, or -1.
double launcherToReady(const fs::path& home, const std::string& url, std::FILE* log, Steps& steps) {
  fs::create_directories(home / "data/Quellhaven");
  fs::create_directories(home / "run");
  fs::permissions(home / "run", fs::perms::owner_all);
  Files::writeAtomic(home / "data/Quellhaven/launcher.cfg", url + "\n");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QString::fromStdString(home.string()));
  env.insert("XDG_DATA_HOME", QString::fromStdString((home / "data").string()));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
  env.insert("XDG_CACHE_HOME", QString::fromStdString((home / "cache").string()));
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString((home / "run").string()));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QT_QUICK_BACKEND", "software");
  env.insert("QH_DEMO_AUTOPILOT", "ready");
  env.remove("QH_DEMO_SHOTS");
  QProcess launcher;
  launcher.setProcessEnvironment(env);
  launcher.setProcessChannelMode(QProcess::MergedChannels);
  QElapsedTimer clock;
  clock.start();
  launcher.start(QStringLiteral(QH_BUNDLE "/Contents/MacOS/quellhaven-launcher"), {});
  double& ready = steps.ready;
  const auto mark = [&](double& step, const std::string& line, const char* text) {
    if (step < 0 && line.find(text) != std::string::npos) {
      step = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    }
  };
  std::string pending;
  while (launcher.state() != QProcess::NotRunning || launcher.bytesAvailable() > 0) {
    if (launcher.bytesAvailable() == 0) launcher.waitForReadyRead(1000);
    pending += launcher.readAll().toStdString();
    for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
      const std::string line = pending.substr(0, nl);
      if (log) std::fprintf(log, "%s\n", line.c_str());
      mark(steps.window, line, "] start ");
      mark(steps.download, line, "] status Downloading 1 of ");
      mark(steps.finishing, line, "compatibility layer");
      mark(ready, line, "] ready ");
      if (line.find("FAILED") != std::string::npos) std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (clock.elapsed() > 3600 * 1000) launcher.kill();
  }
  launcher.waitForFinished();
  steps.firstFrame = firstFrame(home);
  if (launcher.exitStatus() != QProcess::NormalExit || launcher.exitCode() != 0) return -1;
  return ready;
}

// Seconds for one curl process to fetch every file of the manifest in turn.
double curlAll(const std::vector<ManifestEntry>& entries, const std::string& url,
               const fs::path& into) {
  std::string config;
  for (const ManifestEntry& e : entries) {
    config += "url = \"" + url + "/" + percentEncoded(e.rel) + "\"\noutput = \"" +
              (into / e.rel).string() + "\"\n";
  }
  Files::writeAtomic(into.parent_path() / "curl.cfg", config);
  QProcess curl;
  QElapsedTimer clock;
  clock.start();
  curl.start("/usr/bin/curl", {"--silent", "--show-error", "--fail", "--create-dirs", "--config",
                               QString::fromStdString((into.parent_path() / "curl.cfg").string())});
  if (!curl.waitForFinished(3600 * 1000) || curl.exitCode() != 0) {
    std::fprintf(stderr, "curl failed: %s\n", curl.readAllStandardError().constData());
    return -1;
  }
  return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  const long megabytes = argc > 1 ? std::atol(argv[1]) : 150;
  const long fileCount = argc > 2 ? std::atol(argv[2]) : 300;
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  std::FILE* log = nullptr;
  if (const char* logPath = std::getenv("QH_BENCH_LOG"); logPath && *logPath) {
    log = std::fopen(logPath, "a");
  }
  char tmpl[] = "/tmp/qh-bench-e2e-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const fs::path root = tmpl;
  int rc = 1;
  {
    SampleClient::generateShaped(root / "source", static_cast<int64_t>(megabytes) << 20,
                                 static_cast<int>(fileCount), QH_GAME_EXE);
    // Ready includes the compatibility layer: a runtime of stand-in wine
    // programs keeps that part small, so the figure stays about the download.
    const fs::path runtime = root / "runtime/qh-bench-wine";
    SampleClient::writeRuntime(runtime, true);
    QProcess publish;
    publish.start(QH_PUBLISH, {QString::fromStdString((root / "source").string()),
                               QString::fromStdString((root / "www").string()), "--version", "1",
                               "--runtime", QString::fromStdString(runtime.string())});
    if (!publish.waitForFinished(-1) || publish.exitCode() != 0) {
      std::fprintf(stderr, "qh-publish failed: %s\n", publish.readAllStandardError().constData());
    } else {
      const auto manifest = Files::read(root / "www/manifest.txt");
      const std::vector<ManifestEntry> entries = Manifest::parse(manifest.value_or(""));
      int64_t bytes = 0;
      for (const ManifestEntry& e : entries) bytes += e.size;
      const double mb = static_cast<double>(bytes) / 1048576.0;
      StaticServer server(root / "www");
      server.bind("127.0.0.1", 0);
      server.start();
      std::printf("files: %zu, %.1f MB over loopback, unlimited, %d runs each\n", entries.size(),
                  mb, runs);
      std::vector<double> curls, launchers;
      bool ok = true;
      for (int run = 1; ok && run <= runs; ++run) {
        // Fresh folders every run: each side starts from nothing, and the
        // last run's files are gone so the disk cache holds the same for both.
        const fs::path curlDir = root / ("curl" + std::to_string(run));
        const double curl = curlAll(entries, server.url(), curlDir);
        fs::remove_all(curlDir);
        if (log) std::fprintf(log, "--- run %d\n", run);
        const fs::path home = root / ("home" + std::to_string(run));
        Steps steps;
        const double launcher = launcherToReady(home, server.url(), log, steps);
        fs::remove_all(home);
        ok = curl > 0 && launcher > 0;
        if (!ok) break;
        curls.push_back(curl);
        launchers.push_back(launcher);
        std::printf("run %d: curl %.2f s (%.1f MB/s), launcher %.2f s (%.1f MB/s), ratio %.2f\n",
                    run, curl, mb / curl, launcher, mb / launcher, launcher / curl);
        if (steps.window >= 0 && steps.download >= steps.window &&
            steps.finishing >= steps.download) {
          std::printf(
              "  launcher: window built %.2f s (first frame %.2f s after main), start-up %.2f s, "
              "files %.2f s, compatibility layer %.2f s\n",
              steps.window, steps.firstFrame, steps.download - steps.window,
              steps.finishing - steps.download, launcher - steps.finishing);
        }
        std::fflush(stdout);
      }
      server.stop();
      if (ok) {
        const double curl = *std::min_element(curls.begin(), curls.end());
        const double launcher = *std::min_element(launchers.begin(), launchers.end());
        std::printf("curl, one file after another: best %.2f s, median %.2f s\n", curl,
                    median(curls));
        std::printf("launcher, start to ready:     best %.2f s, median %.2f s\n", launcher,
                    median(launchers));
        std::printf("ratio of medians: %.2f\n", median(launchers) / median(curls));
        std::printf("ratio: %.2f\n", launcher / curl);
        rc = 0;
      }
    }
  }
  if (log) std::fclose(log);
  std::error_code ec;
  fs::remove_all(root, ec);
  return rc;
}
