#include "core/timing.h"

#include <qcoro/qcorotimer.h>

#include <QTimer>
#include <chrono>
#include <thread>

namespace qh {

namespace {

class SystemClock final : public Clock {
 public:
  double now() const override {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
  }

  void sleep(double seconds) override {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }

  QCoro::Task<> wait(double seconds) override {
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(std::chrono::milliseconds(static_cast<long long>(seconds * 1000)));
    co_await timer;
  }
};

}  // namespace

std::shared_ptr<Clock> systemClock() {
  static const auto clock = std::make_shared<SystemClock>();
  return clock;
}

}  // namespace qh
