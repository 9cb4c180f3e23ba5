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

std::function<void(int64_t)> action(int64_t done, double start, int64_t total, std::string label,
                                    std::shared_ptr<Clock> clock, StatusCallback report) {
  return [=](int64_t bytesPresent) {
    const int64_t got = done + bytesPresent;
    const bool limited = SpeedLimit::steps[SpeedLimit::step()] > 0;
    report(statusText(label, got, total, clock->now() - start, limited), fraction(got, total));
  };
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
