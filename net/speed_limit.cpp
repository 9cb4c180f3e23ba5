#include "net/speed_limit.h"

#include <QSettings>

namespace SpeedLimit {

const std::array<std::string, stepCount>& labels() {
  static const std::array<std::string, stepCount> v = {"Unlimited", "4 MB/s",   "2 MB/s",
                                                       "1 MB/s",    "512 KB/s", "256 KB/s"};
  return v;
}

int step() {
  bool ok = false;
  const int v = QSettings().value("downloadSpeedStep", 0).toInt(&ok);
  return ok && v >= 0 && v < stepCount ? v : 0;
}

void store(int value) {
  QSettings settings;
  settings.setValue("downloadSpeedStep", value);
  settings.sync();
}

}  // namespace SpeedLimit
