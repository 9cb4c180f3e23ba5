#include "net/throttle.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <numeric>

#include "net/speed_limit.h"
#include "support/fake_clock.h"

namespace qh {

namespace {

constexpr int64_t MiB = 1024 * 1024;

// The step is kept as given and read back in range or as unlimited.
TEST(SpeedLimit, ReadsBackInRangeOrAsUnlimited) {
  for (const auto& [stored, read] :
       std::vector<std::pair<int, int>>{{0, 0}, {5, 5}, {6, 0}, {-1, 0}}) {
    SpeedLimit::store(stored);
    EXPECT_EQ(SpeedLimit::step(), read) << stored;
    EXPECT_EQ(QSettings().value("downloadSpeedStep").toInt(), stored);
  }
  SpeedLimit::store(0);
}

class ThrottleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    timing.clock = clock;
    SpeedLimit::store(0);
  }
  void TearDown() override { SpeedLimit::store(0); }

  double slept() const {
    const auto s = clock->sleeps();
    return std::accumulate(s.begin(), s.end(), 0.0);
  }

  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  Timing timing;
};

TEST_F(ThrottleTest, ABurstSleepsAtMostOneSecondPerChunkAndPaysTheRestLater) {
  SpeedLimit::store(5);  // 256 KB/s: 1 MiB is due to take 4 s
  Throttle throttle(timing);
  throttle.chunk(MiB);
  EXPECT_EQ(clock->sleeps(), std::vector<double>{1.0});
  for (int i = 0; i < 4; ++i) throttle.chunk(1);
  ASSERT_EQ(clock->sleeps().size(), 4u);
  EXPECT_NEAR(slept(), 4.0, 1e-4);
}

TEST_F(ThrottleTest, StepChangeStartsANewWindowAtTheNextChunk) {
  SpeedLimit::store(5);
  Throttle throttle(timing);
  throttle.chunk(MiB);  // 3 s of debt left at 256 KB/s
  SpeedLimit::store(0);
  throttle.chunk(MiB);
  EXPECT_EQ(clock->sleeps().size(), 1u);
  SpeedLimit::store(4);  // 512 KB/s: a fresh window, the old debt is gone
  throttle.chunk(256 * 1024);
  throttle.chunk(1);
  EXPECT_EQ(clock->sleeps(), (std::vector<double>{1.0, 0.5}));
}

TEST_F(ThrottleTest, HoldsTheRateOverManyWindows) {
  SpeedLimit::store(3);  // 1 MB/s
  Throttle throttle(timing);
  const double start = clock->now();
  for (int i = 0; i < 400; ++i) {
    clock->advance(0.001);  // the network's own time per chunk
    throttle.chunk(64 * 1024);
  }
  const double rate = 400.0 * 64 * 1024 / (clock->now() - start);
  EXPECT_NEAR(rate / 1048576, 1.0, 0.02);
}

}  // namespace

}  // namespace qh
