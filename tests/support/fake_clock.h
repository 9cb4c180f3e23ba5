// A clock whose time moves only when someone sleeps or waits on it, so tests
// take the launcher's real waits without spending real time. With holdWaits,
// a wait instead lasts until advance() reaches its end, so a test can order
// what happens while it runs.
#pragma once

#include <algorithm>
#include <coroutine>
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
    bool held = false;
    double until = 0;
    {
      std::lock_guard lock(mutex_);
      waits_.push_back(seconds);
      held = holdWaits;
      until = now_ + seconds;
      if (!held && seconds > 0) now_ += seconds;
    }
    if (held) co_await Held{this, until};
  }
  // Moves the time on, ending the held waits it reaches, earliest first, on
  // the calling (main) thread.
  void advance(double seconds) {
    std::vector<Waiter> due;
    {
      std::lock_guard lock(mutex_);
      now_ += seconds;
      for (auto it = held_.begin(); it != held_.end();) {
        if (it->until <= now_) {
          due.push_back(*it);
          it = held_.erase(it);
        } else {
          ++it;
        }
      }
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const Waiter& a, const Waiter& b) { return a.until < b.until; });
    for (const Waiter& w : due) w.handle.resume();
  }
  // Main thread only, before the waits it should hold.
  bool holdWaits = false;
  std::vector<double> sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }
  std::vector<double> waits() const {
    std::lock_guard lock(mutex_);
    return waits_;
  }

 private:
  struct Waiter {
    double until;
    std::coroutine_handle<> handle;
  };
  struct Held {
    FakeClock* clock;
    double until;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) {
      std::lock_guard lock(clock->mutex_);
      clock->held_.push_back({until, handle});
    }
    void await_resume() const noexcept {}
  };

  mutable std::mutex mutex_;
  std::vector<Waiter> held_;
  double now_ = 1000.0;
  std::vector<double> sleeps_;
  std::vector<double> waits_;
};

}  // namespace qh
