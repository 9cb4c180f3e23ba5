// The status line of the download phase (file count, amounts, average speed,
// time left) and the progress action handed to the downloader for each file.
// Thread-safety: pure functions, any thread; the action runs on the downloader's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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

// The bytes a run of downloads will fetch and has fetched, which the status
// line and the track show. Each file counts its size, or, once its delta
// update has planned what it will fetch, that: the amounts, the speed and the
// time left are then those of the network. The track never goes back, also
// when a file starts over.
// Thread-safety: any thread; reports go out on the calling thread.
class Tally {
 public:
  // The run's files' sizes in order; the run starts now on `clock`.
  Tally(const std::vector<int64_t>& sizes, std::shared_ptr<Clock> clock);

  // File `index` is fetched from its first byte, counting its size: at its
  // start, and again when a failed delta leaves it to a whole download.
  void begin(size_t index);
  // The file begun counts `bytes` from now on.
  void plan(int64_t bytes);
  // The file begun is dealt with (in place, skipped or given up).
  void finish();

  // The progress action for the file begun, `bytesPresent` of its count so
  // far; reports its status line with `label` to `report`. Reads the speed
  // step afresh at each call. The tally must outlive it.
  std::function<void(int64_t bytesPresent)> action(std::string label, StatusCallback report);

  // The track: got / total, never less than before.
  std::optional<double> fraction();

 private:
  std::optional<double> fractionLocked(int64_t got, int64_t total);
  int64_t totalLocked() const;

  std::shared_ptr<Clock> clock_;
  double start_;
  std::mutex mutex_;
  std::vector<int64_t> sizes_;
  // after_[i]: the sizes of files i... together.
  std::vector<int64_t> after_;
  size_t next_ = 0;  // the first file not begun
  int64_t done_ = 0;
  int64_t share_ = 0;  // what the file begun counts
  int64_t present_ = 0;
  std::optional<double> track_;
};

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
