// A request to stop, shared by whoever may ask for it and the work that
// watches it: what std::stop_source and std::stop_token do, which the C++
// library of the oldest Xcode the launcher builds with does not have.
// A default StopToken is never asked to stop.
// Thread-safety: every member may be called from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace qh {

namespace stop_detail {
struct State {
  std::atomic<bool> stopped{false};
  std::mutex mutex;
  std::condition_variable wake;
};
}  // namespace stop_detail

class StopToken {
 public:
  StopToken() = default;

  bool stop_requested() const { return state_ && state_->stopped.load(); }

  // Waits until a stop is asked for or `timeout` has passed; true when asked.
  template <class Rep, class Period>
  bool waitFor(std::chrono::duration<Rep, Period> timeout) const {
    if (!state_) return false;
    std::unique_lock lock(state_->mutex);
    return state_->wake.wait_for(lock, timeout, [this] { return state_->stopped.load(); });
  }

  // Waits until a stop is asked for. REQUIRES: a token from a StopSource.
  void wait() const {
    std::unique_lock lock(state_->mutex);
    state_->wake.wait(lock, [this] { return state_->stopped.load(); });
  }

 private:
  friend class StopSource;
  explicit StopToken(std::shared_ptr<stop_detail::State> state) : state_(std::move(state)) {}
  std::shared_ptr<stop_detail::State> state_;
};

class StopSource {
 public:
  StopSource() : state_(std::make_shared<stop_detail::State>()) {}

  StopToken get_token() const { return StopToken(state_); }

  // Asks once and for good; every waiting token wakes.
  void request_stop() {
    {
      std::lock_guard lock(state_->mutex);
      state_->stopped = true;
    }
    state_->wake.notify_all();
  }

 private:
  std::shared_ptr<stop_detail::State> state_;
};

}  // namespace qh
