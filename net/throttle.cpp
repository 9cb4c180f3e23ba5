#include "net/throttle.h"

#include <algorithm>

#include "net/speed_limit.h"

namespace qh {

int64_t Throttle::currentLimit() {
  return SpeedLimit::steps[static_cast<size_t>(SpeedLimit::step())];
}

Throttle::Throttle(const Timing& timing, Limit limit) : timing_(timing), limit_(std::move(limit)) {}

void Throttle::chunk(int64_t bytes) {
  const int64_t limit = limit_();
  if (limit <= 0) {
    windowLimit_ = 0;
    return;
  }
  Clock& clock = *timing_.clock;
  double now = clock.now();
  if (windowLimit_ != limit || !windowOpen_) {
    windowOpen_ = true;
    windowLimit_ = limit;
    windowBytes_ = 0;
    windowStart_ = now;
  }
  windowBytes_ += bytes;
  const double due = static_cast<double>(windowBytes_) / static_cast<double>(limit);
  const double ahead = due - (now - windowStart_);
  if (ahead > timing_.throttleMinSleep) {
    // A burst earns at most one capped sleep per chunk; the rest of the debt
    // is paid on later chunks of the same window, or forgotten with it.
    clock.sleep(std::min(ahead, timing_.throttleMaxSleep));
    now = clock.now();
  }
  if (now - windowStart_ > timing_.throttleWindow) {
    windowStart_ = now;
    windowBytes_ = 0;
  }
}

}  // namespace qh
