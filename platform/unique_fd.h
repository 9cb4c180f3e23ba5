// The one owner of a file descriptor: closed when its owner goes, on every
// path out. Thread-safety: one owner per descriptor, like any value.
#pragma once

#include <unistd.h>

#include <utility>

namespace qh {

class UniqueFd {
 public:
  UniqueFd() = default;
  // Takes `fd` (may be -1, the result of a failed open).
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  // The descriptor, or -1 when none is held.
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

  // Closes the descriptor held (an error of close is lost: where it counts,
  // as after writing a file, call close() instead) and holds `fd`.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes the descriptor held; returns close's result (0, or -1 with errno set).
  int close() { return fd_ < 0 ? 0 : ::close(std::exchange(fd_, -1)); }
  // Gives the descriptor up without closing it.
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

}  // namespace qh
