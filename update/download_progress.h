// The status line of the download phase (file count, amounts, average speed,
// time left) and the progress action handed to the downloader for each file.
// Thread-safety: pure functions, any thread; the action runs on the downloader's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/status.h"

namespace qh {

class Clock;

namespace DownloadProgress {

// "almost done", "12s left", "3 min left" or "1.5 h left".
std::string formatEta(double seconds);

// The line for `got` of `total` bytes after `elapsed` seconds of the download
// phase; speed and time left only once more than half a second has passed.
std::string statusText(const std::string& label, int64_t got, int64_t total, double elapsed,
                       bool limited);

// got / total, or nullopt when total is 0 or less.
std::optional<double> fraction(int64_t got, int64_t total);

// The action for one file: `done` bytes were dealt with before it, `total` is
// the whole update, `start` the phase's start on `clock`; reports go to
// `report` from the downloader's thread. Reads the speed step afresh at each call.
std::function<void(int64_t bytesPresent)> action(int64_t done, double start, int64_t total,
                                                 std::string label, std::shared_ptr<Clock> clock,
                                                 StatusCallback report);

// Passes a run of files' reports on at most once per `interval`, across
// files: a run of small files ends a transfer every few milliseconds, and
// each report the window gets costs it a redraw. A report held back is passed
// on by the next one due or by flush(), so the last state always arrives.
// Thread-safety: one thread at a time (the run's own).
class Pacer {
 public:
  Pacer(StatusCallback report, std::shared_ptr<Clock> clock, double interval);
  void report(const std::string& status, std::optional<double> progress);
  // The last status with a new fraction, when it differs from the last one;
  // nothing before the first report.
  void progress(std::optional<double> progress);
  void flush();

 private:
  StatusCallback report_;
  std::shared_ptr<Clock> clock_;
  double interval_;
  double lastSent_;
  bool reported_ = false;
  bool held_ = false;
  std::string status_;
  std::optional<double> progress_;
};

}  // namespace DownloadProgress

}  // namespace qh
