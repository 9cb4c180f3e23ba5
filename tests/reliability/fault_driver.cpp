// qh-fault-driver BASE_URL INSTALL_DIR STATE_DIR
// One update run of the real engine, as the launcher makes it at start-up,
// with the network waits shortened. Exits 0 when the run reached the ready
// step, 1 when it ended otherwise; prints the last status and detail. The
// fault campaign kills it at random moments and starts it again.
#include <QCoreApplication>
#include <cstdio>

#include "core/log.h"
#include "update/fake_host.h"
#include "update/update_engine.h"

using namespace qh;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: qh-fault-driver BASE_URL INSTALL_DIR STATE_DIR\n");
    return 2;
  }
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Fault Driver");
  auto host = std::make_shared<FakeHost>();
  host->paths_.base = argv[1];
  host->paths_.installDir = argv[2];
  host->paths_.stateDir = argv[3];
  Log::setFile(host->paths_.stateDir / "launcher.log");
  // A stalled server is given up after a second, a failed file is retried at once.
  host->timing_.requestIdleTimeout = 1.0;
  host->timing_.transferTimeout = 120.0;
  host->timing_.downloadRetryStep = 0.01;
  QCoro::waitFor(UpdateEngine::sync(host, false));
  std::printf("%s\n%s\n", host->status.c_str(), host->detail.c_str());
  return host->finishes.empty() ? 1 : 0;
}
