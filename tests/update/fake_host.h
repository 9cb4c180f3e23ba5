// An UpdateHost that records everything the engine publishes, and the
// manifest line of a published file.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>

#include "net/hash.h"
#include "support/fake_clock.h"
#include "update/update_host.h"

namespace qh {

// "SHA-1 TAB size TAB rel" and a line end, as a manifest lists `bytes` at `rel`.
inline std::string manifestLine(const std::string& rel, const std::string& bytes) {
  Hash::Digest sha1(Hash::Algorithm::sha1);
  sha1.update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return sha1.hex() + "\t" + std::to_string(bytes.size()) + "\t" + rel + "\n";
}

class FakeHost final : public UpdateHost {
 public:
  struct Finish {
    std::string version, summary;
    bool reconcile;
  };

  // A host that installs from `base` into `installDir`, keeps its state in
  // `stateDir` (made here) and waits on a fake clock.
  static std::shared_ptr<FakeHost> make(const std::string& base,
                                        const std::filesystem::path& installDir,
                                        const std::filesystem::path& stateDir) {
    auto host = std::make_shared<FakeHost>();
    host->paths_.base = base;
    host->paths_.installDir = installDir;
    host->paths_.stateDir = stateDir;
    std::filesystem::create_directories(stateDir);
    host->timing_.clock = std::make_shared<FakeClock>();
    return host;
  }

  Paths paths_;
  Timing timing_;
  bool running = false;

  Phase phase = Phase::working;
  std::string status, detail;
  std::optional<double> progress;
  std::vector<std::string> addons;
  std::vector<Finish> finishes;
  int clientFilesChanges = 0;
  std::vector<std::string> statuses, details;
  // Every fraction the track was given, the workers' included.
  std::vector<double> track;

  Paths paths() const override { return paths_; }
  Timing timing() const override { return timing_; }
  void setPhase(Phase p) override { phase = p; }
  void setStatus(const std::string& s) override {
    std::lock_guard lock(mutex_);
    status = s;
    statuses.push_back(s);
  }
  void setDetail(const std::string& d) override {
    detail = d;
    details.push_back(d);
  }
  void setProgress(std::optional<double> p) override {
    std::lock_guard lock(mutex_);
    progress = p;
    if (p) track.push_back(*p);
  }
  void setOfficialAddons(std::vector<std::string> names) override { addons = std::move(names); }
  bool gameRunning() const override { return running; }
  QCoro::Task<> clientFilesChanged() override {
    ++clientFilesChanges;
    co_return;
  }
  QCoro::Task<> finishReady(std::string version, std::string summary, bool reconcile) override {
    finishes.push_back({version, summary, reconcile});
    setPhase(Phase::ready);
    co_return;
  }
  // Worker reports are recorded at once, in the order they arrive.
  StatusCallback reporter() override {
    return [this](const std::string& s, std::optional<double> p) {
      std::lock_guard lock(mutex_);
      statuses.push_back(s);
      if (p) track.push_back(*p);
    };
  }
  bool sawStatus(const std::string& prefix) {
    std::lock_guard lock(mutex_);
    for (const auto& s : statuses) {
      if (s.starts_with(prefix)) return true;
    }
    return false;
  }

 private:
  std::mutex mutex_;
};

}  // namespace qh
