// A handful of seeds of the fault campaign; `make soak` runs two hundred.
#include <gtest/gtest.h>

#include <cstdio>

#include "campaign.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

class FaultCampaign : public ::testing::TestWithParam<uint64_t> {};

TEST_P(FaultCampaign, InstallSurvivesFaultsAndKills) {
  // One published client for every seed, removed at exit.
  static const TempDir work;
  static const Campaign::Published published =
      Campaign::publishSample(work.path(), 2000, 8 * 1024 * 1024, QH_PUBLISH);
  const Campaign::SeedReport r =
      Campaign::runSeed(published, work.path(), GetParam(), QH_FAULT_DRIVER);
  std::printf("seed %llu: %d faults (%d kills) over %d runs; %s\n",
              static_cast<unsigned long long>(r.seed), r.faults(), r.kills, r.runs,
              Campaign::summary({r}).c_str());
  for (const std::string& p : r.problems) ADD_FAILURE() << p;
  EXPECT_TRUE(r.survived);
  EXPECT_EQ(r.corruptFiles, 0);
  EXPECT_GT(r.kills, 0);
  EXPECT_GT(r.faults(), r.kills);
}

INSTANTIATE_TEST_SUITE_P(Seeds, FaultCampaign, ::testing::Values(1, 2, 3));

}  // namespace

}  // namespace qh
