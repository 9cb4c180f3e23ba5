// Measures how long the thread that creates it goes without serving its event
// loop: the longest gap between the ticks of a precise timer, less the time
// the thread waited for a CPU (its run-queue wait in /proc/thread-self/
// schedstat), so a loaded machine does not count as the code blocking it,
// while computing or waiting on the disk on that thread does.
// Thread-safety: the thread that created it only.
#pragma once

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>

namespace qh {

class StallMonitor {
 public:
  StallMonitor() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    timer_.start();
  }

  // The longest gap between ticks less the CPU wait in it.
  double longestMs() const { return static_cast<double>(longestNs_) / 1e6; }
  // The longest gap as the wall clock saw it, for the record.
  double longestRawMs() const { return static_cast<double>(longestRawNs_) / 1e6; }
  int ticks() const { return ticks_; }

 private:
  static int64_t wallNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  // Nanoseconds this thread has spent runnable but not running; -1 if unknown.
  static int64_t runQueueWaitNs() {
    std::ifstream in("/proc/thread-self/schedstat");
    int64_t running = 0, waiting = -1;
    if (!(in >> running >> waiting)) return -1;
    return waiting;
  }

  void tick() {
    const int64_t wall = wallNs();
    const int64_t wait = runQueueWaitNs();
    const int64_t gap = wall - lastWall_;
    const int64_t waited = wait >= 0 && lastWait_ >= 0 ? wait - lastWait_ : 0;
    longestRawNs_ = std::max(longestRawNs_, gap);
    longestNs_ = std::max(longestNs_, gap - waited);
    lastWall_ = wall;
    lastWait_ = wait;
    ++ticks_;
  }

  QTimer timer_;
  int64_t lastWall_ = wallNs();
  int64_t lastWait_ = runQueueWaitNs();
  int64_t longestNs_ = 0;
  int64_t longestRawNs_ = 0;
  int ticks_ = 0;
};

}  // namespace qh
