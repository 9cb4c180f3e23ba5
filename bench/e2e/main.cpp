// bench-e2e: a first install of the demo's 150 MB client over loopback at
// unlimited speed. The launcher's time from its start to `ready` is divided by
// the time /usr/bin/curl takes to fetch the same files one after another (one
// curl process, so it reuses its connection as the launcher does), from the
// same server in the same run. Each side runs RUNS times, alternating, into a
// fresh folder each time; the best run of each side is compared, so a burst of
// other work on the machine spoils one run, not the figure. It also compares
// the CPU seconds each side used: the launcher's whole process against curl's
// plus /usr/bin/sha1sum's over the files curl fetched (what checking them
// costs). Last line: "ratio: X" (lower is better; 1.0 means as fast as curl).
//   bench-e2e [MEGABYTES] [FILES] [RUNS] [BUNDLE]   (default 150 300 3)
//   bench-e2e share [MEGABYTES]            (default 40)
// BUNDLE, another build's "Quellhaven Launcher.app", measures that launcher
// instead, so two builds can be run in turns against the same reference.
// The second form installs at the "2 MB/s" speed step and prints last the
// share of one core the launcher's process used while the files arrived
// ("share: X %"), which is mostly what its window costs.
// With QH_BENCH_LOG=<file> the launcher's output of every run is appended there.
#include <stdlib.h>

#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/common/install_run.h"
#include "tools/serve/static_server.h"
#include "update/manifest.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// CPU seconds /usr/bin/sha1sum takes over every file of `entries` under `dir`.
double sha1sumCpu(const std::vector<ManifestEntry>& entries, const fs::path& dir) {
  QStringList files;
  for (const ManifestEntry& e : entries) files << QString::fromStdString((dir / e.rel).string());
  const double before = bench::childrenCpu();
  QProcess sum;
  sum.setStandardOutputFile(QProcess::nullDevice());
  sum.start("/usr/bin/sha1sum", files);
  if (!sum.waitForFinished(-1) || sum.exitCode() != 0) return -1;
  return bench::childrenCpu() - before;
}

}  // namespace

}  // namespace qh

using namespace qh;

int main(int argc, char** argv) {
  const bool share = argc > 1 && std::strcmp(argv[1], "share") == 0;
  if (share) ++argv, --argc;
  const long megabytes = argc > 1 ? std::atol(argv[1]) : share ? 40 : 150;
  const long fileCount = argc > 2 ? std::atol(argv[2]) : 300;
  const int runs = share ? 1 : argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const fs::path bundle = !share && argc > 4 ? fs::path(argv[4]) : fs::path(QH_BUNDLE);
  std::FILE* log = nullptr;
  if (const char* logPath = std::getenv("QH_BENCH_LOG"); logPath && *logPath) {
    log = std::fopen(logPath, "a");
  }
  char tmpl[] = "/tmp/qh-bench-e2e-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const fs::path root = tmpl;
  int rc = 1;
  {
    const std::vector<ManifestEntry> entries =
        bench::publishShaped(root, megabytes, fileCount, QH_GAME_EXE, QH_PUBLISH);
    if (!entries.empty()) {
      int64_t bytes = 0;
      for (const ManifestEntry& e : entries) bytes += e.size;
      const double mb = static_cast<double>(bytes) / 1048576.0;
      StaticServer server(root / "www");
      server.bind("127.0.0.1", 0);
      server.start();
      if (share) {
        std::printf("files: %zu, %.1f MB over loopback at the 2 MB/s step\n", entries.size(), mb);
        const bench::LauncherRun l = bench::launcherToReady(
            QH_BUNDLE, root / "home", server.url(), {}, "[General]\ndownloadSpeedStep=2\n", log);
        const double files = l.finishing - l.download;
        if (l.ready > 0 && l.filesCpu >= 0 && files > 0) {
          std::printf("files: %.2f s (%.2f MB/s), launcher process CPU %.2f s in that time\n",
                      files, mb / files, l.filesCpu);
          std::printf("share: %.1f %%\n", 100.0 * l.filesCpu / files);
          rc = 0;
        }
        server.stop();
        if (log) std::fclose(log);
        std::error_code ec;
        fs::remove_all(root, ec);
        return rc;
      }
      std::printf("files: %zu, %.1f MB over loopback, unlimited, %d runs each\n", entries.size(),
                  mb, runs);
      std::vector<double> curls, launchers, curlCpus, launcherCpus;
      bool ok = true;
      fs::path lastHome;
      for (int run = 1; ok && run <= runs; ++run) {
        // Fresh folders every run: each side starts from nothing. A side's
        // folder goes just before that side's next run, so every run but
        // the first of each follows a removal of the same size: ext4 looks
        // past inodes freed moments ago as it makes new files, and only the
        // side run after a removal paid for it.
        const fs::path curlDir = root / ("curl" + std::to_string(run));
        const bench::CurlRun c = bench::curlAll(entries, server.url(), curlDir, {});
        const double sumCpu = c.seconds > 0 ? sha1sumCpu(entries, curlDir) : -1;
        if (!lastHome.empty()) fs::remove_all(lastHome);
        if (log) std::fprintf(log, "--- run %d\n", run);
        const fs::path home = root / ("home" + std::to_string(run));
        const bench::LauncherRun l =
            bench::launcherToReady(bundle, home, server.url(), {}, "", log);
        fs::remove_all(curlDir);
        lastHome = home;
        ok = c.seconds > 0 && sumCpu >= 0 && l.ready > 0;
        if (!ok) break;
        const double curl = c.seconds, launcher = l.ready;
        curls.push_back(curl);
        launchers.push_back(launcher);
        curlCpus.push_back(c.cpu + sumCpu);
        launcherCpus.push_back(l.cpu);
        std::printf("run %d: curl %.2f s (%.1f MB/s), launcher %.2f s (%.1f MB/s), ratio %.2f\n",
                    run, curl, mb / curl, launcher, mb / launcher, launcher / curl);
        std::printf("  CPU: curl %.2f s + sha1sum %.2f s, launcher %.2f s (%.2f s in its files)\n",
                    c.cpu, sumCpu, l.cpu, l.filesCpu);
        if (l.window >= 0 && l.download >= l.window && l.finishing >= l.download) {
          std::printf(
              "  launcher: window built %.2f s (first frame %.2f s after main), start-up %.2f s, "
              "files %.2f s, compatibility layer %.2f s\n",
              l.window, l.firstFrame, l.download - l.window, l.finishing - l.download,
              launcher - l.finishing);
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
        const double curlCpu = *std::min_element(curlCpus.begin(), curlCpus.end());
        const double launcherCpu = *std::min_element(launcherCpus.begin(), launcherCpus.end());
        std::printf("CPU, curl + sha1sum: best %.2f s; launcher: best %.2f s\n", curlCpu,
                    launcherCpu);
        std::printf("cpu ratio: %.2f\n", launcherCpu / curlCpu);
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
