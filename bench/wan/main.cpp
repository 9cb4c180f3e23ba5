// bench-wan: a first install of a demo-shaped client (40 MB, 300 files) from
// nginx behind a proxy that adds 25 ms each way (a 50 ms round trip, and one
// more for each new connection's handshake), over HTTP and over HTTPS with a
// certificate made at run time. The launcher's start to ready is divided by
// the time one /usr/bin/curl process takes to fetch the same files one after
// another through the same proxy. Latency, not the CPU, sets both figures, so
// they hold on a busy machine too. The sides alternate, RUNS each; the best
// of each side is compared. Prints the connections each side opened, a ratio
// per protocol, and last "ratio: X", the larger of the two.
//   bench-wan [MEGABYTES] [FILES] [RUNS] [MS_EACH_WAY] [BUNDLE]
// (default 40 300 3 25 and this build's bundle; another build's bundle
// measures that launcher instead).
// With QH_BENCH_LOG=<file> the launcher's output of every run is appended there.
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/common/bench_support.h"
#include "bench/common/install_run.h"
#include "bench/wan/delay_proxy.h"
#include "update/manifest.h"

using namespace qh;
using namespace qh::bench;

namespace fs = std::filesystem;

namespace {

struct Side {
  double best = -1;
  int connections = -1;
  void add(double seconds, int opened) {
    if (best < 0 || seconds < best) best = seconds;
    connections = std::max(connections, opened);
  }
};

// A certificate for 127.0.0.1 and its key, made with /usr/bin/openssl.
bool makeCertificate(const fs::path& dir) {
  return run({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
              "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
              (dir / "key.pem").string(), "-out", (dir / "cert.pem").string()}) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const long megabytes = argc > 1 ? std::atol(argv[1]) : 40;
  const long fileCount = argc > 2 ? std::atol(argv[2]) : 300;
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const double delay = (argc > 4 ? std::atof(argv[4]) : 25.0) / 1000.0;
  const fs::path bundle = argc > 5 ? fs::path(argv[5]) : fs::path(QH_BUNDLE);
  std::FILE* log = nullptr;
  if (const char* logPath = std::getenv("QH_BENCH_LOG"); logPath && *logPath) {
    log = std::fopen(logPath, "a");
  }
  const Scratch scratch;
  const fs::path& root = scratch.path();
  const std::vector<ManifestEntry> entries =
      publishShaped(root, megabytes, fileCount, QH_GAME_EXE, QH_PUBLISH);
  if (entries.empty() || !makeCertificate(root)) return 1;
  int64_t bytes = 0;
  for (const ManifestEntry& e : entries) bytes += e.size;
  std::printf("files: %zu, %.1f MB, %.0f ms each way, %d runs each side\n", entries.size(),
              static_cast<double>(bytes) / 1048576.0, delay * 1000, runs);

  double worst = 0;
  for (const bool tls : {false, true}) {
    const char* scheme = tls ? "https" : "http";
    std::optional<NginxTls> certificate;
    if (tls) certificate = NginxTls{root / "cert.pem", root / "key.pem"};
    const Nginx nginx(root / "www", root / (std::string("nginx-") + scheme), certificate);
    const DelayProxy proxy(nginx.port(), delay);
    const std::string url = std::string(scheme) + "://127.0.0.1:" + std::to_string(proxy.port());
    Side curl, launcher;
    for (int i = 1; i <= runs; ++i) {
      const fs::path curlDir = root / "curl";
      int before = proxy.connections();
      const CurlRun c = curlAll(entries, url, curlDir, {"--cacert", (root / "cert.pem").string()});
      const int curlConnections = proxy.connections() - before;
      fs::remove_all(curlDir);
      if (log) std::fprintf(log, "--- %s run %d\n", scheme, i);
      before = proxy.connections();
      const LauncherRun l = launcherToReady(
          bundle, root / "home", url, {{"QH_CA_FILE", (root / "cert.pem").string()}}, "", log);
      const int launcherConnections = proxy.connections() - before;
      fs::remove_all(root / "home");
      if (c.seconds < 0 || l.ready < 0) {
        std::fprintf(stderr, "%s run %d failed\n", scheme, i);
        return 1;
      }
      curl.add(c.seconds, curlConnections);
      launcher.add(l.ready, launcherConnections);
      std::printf(
          "%s run %d: curl %.2f s over %d connection(s), launcher %.2f s over %d connection(s) "
          "(window %.2f s, start-up %.2f s, files %.2f s, compatibility layer %.2f s), "
          "ratio %.2f\n",
          scheme, i, c.seconds, curlConnections, l.ready, launcherConnections, l.window,
          l.download - l.window, l.finishing - l.download, l.ready - l.finishing,
          l.ready / c.seconds);
      std::fflush(stdout);
    }
    const double ratio = launcher.best / curl.best;
    worst = std::max(worst, ratio);
    std::printf("%s: curl best %.2f s, %d connection(s); launcher best %.2f s, %d connection(s)\n",
                scheme, curl.best, curl.connections, launcher.best, launcher.connections);
    std::printf("ratio %s: %.2f\n", scheme, ratio);
  }
  if (log) std::fclose(log);
  std::printf("ratio: %.2f\n", worst);
  return 0;
}
