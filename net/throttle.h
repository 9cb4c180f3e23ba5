// Holds one transfer to the user's download speed step. The limit is read
// afresh at every chunk, so a step change applies to a running transfer.
// Thread-safety: one transfer's thread; sleeps through Timing::clock.
#pragma once

#include <cstdint>
#include <functional>

#include "core/timing.h"

namespace qh {

class Throttle {
 public:
  // Bytes per second, 0 for unlimited.
  using Limit = std::function<int64_t()>;
  // The limit of the stored SpeedLimit step.
  static int64_t currentLimit();

  explicit Throttle(const Timing& timing, Limit limit = currentLimit);

  // Accounts one received chunk of `bytes` and sleeps as long as the current
  // window is ahead of the limit, at most Timing::throttleMaxSleep per chunk.
  void chunk(int64_t bytes);

 private:
  const Timing& timing_;
  Limit limit_;
  bool windowOpen_ = false;
  double windowStart_ = 0;
  int64_t windowBytes_ = 0;
  int64_t windowLimit_ = 0;
};

}  // namespace qh
