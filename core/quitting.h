// Set once, as the application quits: long work on other threads (the
// checksums of a whole install) stops at its next step instead of holding the
// process open until it ends. Nothing is written on the way out, so whatever
// stopped is simply done again at the next start.
#pragma once

#include <atomic>

namespace qh::Quitting {

inline std::atomic<bool>& flag() {
  static std::atomic<bool> quitting{false};
  return quitting;
}

inline void begin() {
  flag().store(true);
}

inline bool now() {
  return flag().load(std::memory_order_relaxed);
}

}  // namespace qh::Quitting
