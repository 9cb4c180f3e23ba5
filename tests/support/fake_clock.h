// A clock whose time moves only when someone sleeps or waits on it, so tests
// take the launcher's real waits without spending real time.
#pragma once

#include <mutex>
#include <vector>

#include "core/timing.h"

namespace qh {

class FakeClock final : public Clock {
 public:
  double now() const override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  void sleep(double seconds) override {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(seconds);
    if (seconds > 0) now_ += seconds;
  }
  QCoro::Task<> wait(double seconds) override {
    {
      std::lock_guard lock(mutex_);
      waits_.push_back(seconds);
      if (seconds > 0) now_ += seconds;
    }
    co_return;
  }
  void advance(double seconds) {
    std::lock_guard lock(mutex_);
    now_ += seconds;
  }
  std::vector<double> sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }
  std::vector<double> waits() const {
    std::lock_guard lock(mutex_);
    return waits_;
  }

 private:
  mutable std::mutex mutex_;
  double now_ = 1000.0;
  std::vector<double> sleeps_;
  std::vector<double> waits_;
};

}  // namespace qh
