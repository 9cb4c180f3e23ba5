#include "net/speed_limit.h"

#include <QSettings>
#include <chrono>
#include <mutex>
#include <optional>

namespace qh::SpeedLimit {

const std::array<std::string, stepCount>& labels() {
  static const std::array<std::string, stepCount> v = {"Unlimited", "4 MB/s",   "2 MB/s",
                                                       "1 MB/s",    "512 KB/s", "256 KB/s"};
  return v;
}

namespace {

// Opening QSettings costs about as much as receiving a chunk at full speed,
// so the value is kept for a second, and store() refreshes it at once.
std::mutex cacheMutex;
std::optional<int> cached;
std::chrono::steady_clock::time_point cachedAt;

int normalised(const QVariant& stored) {
  bool ok = false;
  const int v = stored.toInt(&ok);
  return ok && v >= 0 && v < stepCount ? v : 0;
}

}  // namespace

int step() {
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard lock(cacheMutex);
  if (!cached || now - cachedAt >= std::chrono::seconds(1)) {
    cached = normalised(QSettings().value("downloadSpeedStep", 0));
    cachedAt = now;
  }
  return *cached;
}

void store(int value) {
  std::lock_guard lock(cacheMutex);
  QSettings settings;
  settings.setValue("downloadSpeedStep", value);
  settings.sync();
  cached = normalised(value);
  cachedAt = std::chrono::steady_clock::now();
}

}  // namespace qh::SpeedLimit
