// A thread that is joined, never left running: by join(), or when its owner
// goes. Holding no thread is valid, and joining one then does nothing.
// Stands where std::jthread would: the C++ library of the oldest Xcode the
// launcher builds with has none. Thread-safety: one owner, like any value.
#pragma once

#include <thread>
#include <utility>

namespace qh {

class JoiningThread {
 public:
  JoiningThread() = default;
  explicit JoiningThread(std::thread thread) : thread_(std::move(thread)) {}
  JoiningThread(JoiningThread&&) noexcept = default;
  JoiningThread& operator=(JoiningThread&& other) noexcept {
    join();
    thread_ = std::move(other.thread_);
    return *this;
  }
  JoiningThread(const JoiningThread&) = delete;
  JoiningThread& operator=(const JoiningThread&) = delete;
  ~JoiningThread() { join(); }

  // Waits for the thread held to end; returns at once when there is none.
  void join() {
    if (thread_.joinable()) thread_.join();
  }
  bool running() const { return thread_.joinable(); }

 private:
  std::thread thread_;
};

}  // namespace qh
