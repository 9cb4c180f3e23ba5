// A gate one thread waits at until another opens it; opened for good when it
// goes, so a test that fails early never leaves a server thread waiting.
#pragma once

#include <condition_variable>
#include <mutex>

namespace qh {

class Gate {
 public:
  Gate() = default;
  ~Gate() { open(); }
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;

  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  void wait() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

}  // namespace qh
