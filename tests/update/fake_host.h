// An UpdateHost that records everything the engine publishes.
#pragma once

#include <mutex>

#include "update/update_host.h"

class FakeHost final : public UpdateHost {
 public:
  struct Finish {
    std::string version, summary;
    bool reconcile;
  };

  Paths paths_;
  Timing timing_;
  bool running = false;

  Phase phase = Phase::working;
  std::string status, detail;
  std::optional<double> progress;
  std::vector<std::string> addons;
  std::vector<Finish> finishes;
  std::vector<std::string> statuses, details, phases;

  Paths paths() const override { return paths_; }
  Timing timing() const override { return timing_; }
  void setPhase(Phase p) override {
    phase = p;
    phases.push_back(p == Phase::ready ? "ready" : p == Phase::working ? "working" : "needInstall");
  }
  void setStatus(const std::string& s) override {
    std::lock_guard lock(mutex_);
    status = s;
    statuses.push_back(s);
  }
  void setDetail(const std::string& d) override {
    detail = d;
    details.push_back(d);
  }
  void setProgress(std::optional<double> p) override { progress = p; }
  void setOfficialAddons(std::vector<std::string> names) override { addons = std::move(names); }
  bool gameRunning() const override { return running; }
  QCoro::Task<> finishReady(std::string version, std::string summary, bool reconcile) override {
    finishes.push_back({version, summary, reconcile});
    setPhase(Phase::ready);
    co_return;
  }
  // Worker reports are recorded at once, in the order they arrive.
  UiSink uiSink() override {
    return [this](const std::string& s, std::optional<double> p) {
      std::lock_guard lock(mutex_);
      statuses.push_back(s);
      uiProgress.push_back(p);
    };
  }
  StatusSink statusSink() override {
    return [this](const std::string& s) {
      std::lock_guard lock(mutex_);
      statuses.push_back(s);
    };
  }
  bool sawStatus(const std::string& prefix) {
    std::lock_guard lock(mutex_);
    for (const auto& s : statuses) {
      if (s.starts_with(prefix)) return true;
    }
    return false;
  }

  std::vector<std::optional<double>> uiProgress;

 private:
  std::mutex mutex_;
};
