// Start-up step 1 in the model: a launcher that replaced itself stops there,
// so the old copy starts nothing while the new one comes up. (The steps of an
// ordinary start: model_startup_test.)
#include <gtest/gtest.h>

#include "support/model_fixture.h"

namespace qh {

namespace {

using ModelSelfUpdate = ModelFixture;

TEST_F(ModelSelfUpdate, AReplacedLauncherStartsNothingMore) {
  fakes.selfUpdater.replaces = true;
  model->start();
  ASSERT_TRUE(spinUntil([this] { return fakes.selfUpdater.runs == 1; }));
  drainEvents();
  EXPECT_TRUE(fakes.network.requested.empty());
  EXPECT_EQ(model->phase(), Phase::working);
  EXPECT_EQ(model->status(), "Starting...");
}

}  // namespace

}  // namespace qh
