#include "update/download_progress.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/text.h"
#include "core/timing.h"
#include "net/speed_limit.h"

namespace qh::DownloadProgress {
namespace {

constexpr double mebibyte = 1048576.0;
constexpr double gibibyte = 1073741824.0;

// Sizes from the network may be negative or absurd; the sums must not overflow.
int64_t addSize(int64_t sum, int64_t size) {
  if (size <= 0) return sum;
  return sum > std::numeric_limits<int64_t>::max() - size ? std::numeric_limits<int64_t>::max()
                                                          : sum + size;
}

}  // namespace

std::string formatEta(double s) {
  if (s < 1) return "almost done";
  if (s < 90) return Text::fixed(s, 0) + "s left";
  if (s < 5400) return Text::fixed(std::ceil(s / 60), 0) + " min left";
  return Text::fixed(s / 3600, 1) + " h left";
}

std::string statusText(const std::string& label, int64_t got, int64_t total, double elapsed,
                       bool limited) {
  std::string speed;
  const double rate = elapsed > 0 ? static_cast<double>(got) / elapsed : 0;
  if (elapsed > 0.5 && rate > 0) {
    speed = "   " + Text::fixed(rate / mebibyte, 1) + " MB/s";
    if (limited) speed += " (limited)";
    speed += "   " + formatEta(static_cast<double>(std::max<int64_t>(total - got, 0)) / rate);
  }
  return label + "   " + Text::fixed(static_cast<double>(got) / gibibyte, 1) + " / " +
         Text::fixed(static_cast<double>(total) / gibibyte, 1) + " GB" + speed;
}

std::optional<double> fraction(int64_t got, int64_t total) {
  if (total <= 0) return std::nullopt;
  return static_cast<double>(got) / static_cast<double>(total);
}

Tally::Tally(const std::vector<int64_t>& sizes, std::shared_ptr<Clock> clock)
    : clock_(std::move(clock)), start_(clock_->now()), sizes_(sizes), after_(sizes.size() + 1, 0) {
  for (size_t i = sizes.size(); i-- > 0;) after_[i] = addSize(after_[i + 1], sizes[i]);
}

void Tally::begin(size_t index) {
  const std::lock_guard lock(mutex_);
  next_ = index + 1;
  share_ = std::max<int64_t>(sizes_.at(index), 0);
  present_ = 0;
}

void Tally::plan(int64_t bytes) {
  const std::lock_guard lock(mutex_);
  share_ = std::max<int64_t>(bytes, 0);
}

void Tally::finish() {
  const std::lock_guard lock(mutex_);
  done_ = addSize(done_, share_);
  share_ = 0;
  present_ = 0;
}

std::function<void(int64_t)> Tally::action(std::string label, StatusCallback report) {
  return [this, label = std::move(label), report = std::move(report)](int64_t bytesPresent) {
    const bool limited = SpeedLimit::steps[SpeedLimit::step()] > 0;
    std::string status;
    std::optional<double> track;
    {
      const std::lock_guard lock(mutex_);
      present_ = bytesPresent;
      const int64_t got = addSize(done_, present_), total = totalLocked();
      status = statusText(label, got, total, clock_->now() - start_, limited);
      track = fractionLocked(got, total);
    }
    report(status, track);
  };
}

std::optional<double> Tally::fraction() {
  const std::lock_guard lock(mutex_);
  return fractionLocked(addSize(done_, present_), totalLocked());
}

std::optional<double> Tally::fractionLocked(int64_t got, int64_t total) {
  const std::optional<double> now = DownloadProgress::fraction(got, total);
  if (now && (!track_ || *now > *track_)) track_ = now;
  return track_;
}

int64_t Tally::totalLocked() const {
  return addSize(addSize(done_, share_), after_[next_]);
}

Pacer::Pacer(StatusCallback report, std::shared_ptr<Clock> clock, double interval)
    : report_(std::move(report)),
      clock_(std::move(clock)),
      interval_(interval),
      lastSent_(-std::numeric_limits<double>::infinity()) {}

void Pacer::report(const std::string& status, std::optional<double> progress) {
  status_ = status;
  progress_ = progress;
  reported_ = true;
  held_ = true;
  const double now = clock_->now();
  if (now - lastSent_ < interval_) return;
  lastSent_ = now;
  flush();
}

void Pacer::progress(std::optional<double> progress) {
  if (!reported_ || progress == progress_) return;
  report(status_, progress);
}

void Pacer::flush() {
  if (!held_) return;
  held_ = false;
  report_(status_, progress_);
}

}  // namespace qh::DownloadProgress
