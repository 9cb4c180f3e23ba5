// qh-fault-driver BASE_URL INSTALL_DIR STATE_DIR
// One update run of the real engine, as the launcher makes it at start-up,
// with the network waits shortened. Exits 0 when the run reached the ready
// step, 1 when it ended otherwise; prints the last status and detail. The
// fault campaign kills it at random moments and starts it again.
#include <QCoreApplication>
#include <cstdio>
#include <mutex>

#include "core/log.h"
#include "update/update_engine.h"

namespace {

class DriverHost final : public UpdateHost {
 public:
  DriverHost(Paths paths, Timing timing) : paths_(std::move(paths)), timing_(std::move(timing)) {}

  Paths paths() const override { return paths_; }
  Timing timing() const override { return timing_; }
  void setPhase(Phase) override {}
  void setStatus(const std::string& s) override { status = s; }
  void setDetail(const std::string& d) override { detail = d; }
  void setProgress(std::optional<double>) override {}
  void setOfficialAddons(std::vector<std::string>) override {}
  bool gameRunning() const override { return false; }
  QCoro::Task<> finishReady(std::string version, std::string summary, bool) override {
    finished = true;
    status = summary + " " + version;
    co_return;
  }
  UiSink uiSink() override {
    return [](const std::string&, std::optional<double>) {};
  }
  StatusSink statusSink() override {
    return [](const std::string&) {};
  }

  bool finished = false;
  std::string status, detail;

 private:
  Paths paths_;
  Timing timing_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: qh-fault-driver BASE_URL INSTALL_DIR STATE_DIR\n");
    return 2;
  }
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName("Quellhaven");
  QCoreApplication::setApplicationName("Quellhaven Fault Driver");
  Paths paths;
  paths.base = argv[1];
  paths.installDir = argv[2];
  paths.stateDir = argv[3];
  Log::setUrl(paths.stateDir / "launcher.log");
  Timing timing;
  // A stalled server is given up after a second, a failed file is retried at once.
  timing.requestIdleTimeout = 1.0;
  timing.transferTimeout = 120.0;
  timing.downloadRetryStep = 0.01;
  auto host = std::make_shared<DriverHost>(paths, timing);
  QCoro::waitFor(UpdateEngine::sync(host, false));
  std::printf("%s\n%s\n", host->status.c_str(), host->detail.c_str());
  return host->finished ? 0 : 1;
}
