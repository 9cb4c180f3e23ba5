// The exception of every flow: a failure someone reads about. what() is the
// exact text the user reads; logText() what the launcher log records about
// it, the same text unless the thrower knows more than the user is shown.
// System calls report a std::error_code instead (platform/system_error.h); a
// flow passes one on as systemError(...).
// Thread-safety: plain values; throw and copy them on any thread.
#pragma once

#include <stdexcept>
#include <string>

namespace qh {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& userText) : std::runtime_error(userText), logText_(userText) {}
  Error(const std::string& userText, std::string logText)
      : std::runtime_error(userText), logText_(std::move(logText)) {}

  const std::string& logText() const noexcept { return logText_; }

 private:
  std::string logText_;
};

}  // namespace qh
