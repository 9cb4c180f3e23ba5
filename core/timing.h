// The one injection point for time: every wait and threshold of the launcher,
// and the clock that measures and sleeps. Production uses the defaults below;
// tests hand in a fake clock so no test sleeps for real.
#pragma once

#include <qcoro/qcorotask.h>

#include <memory>

namespace qh {

// Thread-safety: implementations must allow now() and sleep() from any thread;
// wait() is awaited on the main thread.
class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic seconds since an arbitrary origin.
  virtual double now() const = 0;
  // Blocks the calling worker thread.
  virtual void sleep(double seconds) = 0;
  // Suspends the awaiting coroutine without blocking its thread.
  virtual QCoro::Task<> wait(double seconds) = 0;
};

// The real clock: steady_clock, std::this_thread::sleep_for and a QTimer.
std::shared_ptr<Clock> systemClock();

struct Timing {
  std::shared_ptr<Clock> clock = systemClock();

  // Network: idle and whole-transfer time-outs.
  double requestIdleTimeout = 60.0;
  double transferTimeout = 86400.0;
  // Downloader: progress at most this often; throttle windows and sleep cap.
  double progressInterval = 0.1;
  double throttleWindow = 5.0;
  double throttleMaxSleep = 1.0;
  double throttleMinSleep = 0.02;
  // Update engine: attempt n waits n times this after a failure.
  double downloadRetryStep = 1.2;
  // Runtime installation: attempt n waits n times this after a failure.
  double runtimeRetryStep = 1.5;
  // Game: the launcher hides this long after launch; shorter lives are crashes.
  double gameHideDelay = 4.0;
  double gameCrashThreshold = 12.0;
};

}  // namespace qh
