#include "net/speed_limit.h"

#include <gtest/gtest.h>

#include <QSettings>

namespace {

class SpeedLimitStored : public ::testing::TestWithParam<std::pair<int, int>> {
 protected:
  void TearDown() override { SpeedLimit::store(0); }
};

TEST_P(SpeedLimitStored, ReadsBackInRangeOrAsUnlimited) {
  const auto [stored, read] = GetParam();
  SpeedLimit::store(stored);
  EXPECT_EQ(SpeedLimit::step(), read);
  EXPECT_EQ(QSettings().value("downloadSpeedStep").toInt(), stored);  // kept as given
}

INSTANTIATE_TEST_SUITE_P(Values, SpeedLimitStored,
                         ::testing::Values(std::pair{0, 0}, std::pair{3, 3}, std::pair{5, 5},
                                           std::pair{6, 0}, std::pair{-1, 0}, std::pair{99, 0}));

TEST(SpeedLimit, StepsAndLabels) {
  EXPECT_EQ(SpeedLimit::steps,
            (std::array<int64_t, 6>{0, 4194304, 2097152, 1048576, 524288, 262144}));
  EXPECT_EQ(SpeedLimit::labels(), (std::array<std::string, 6>{"Unlimited", "4 MB/s", "2 MB/s",
                                                              "1 MB/s", "512 KB/s", "256 KB/s"}));
}

}  // namespace
