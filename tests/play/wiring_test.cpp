// The launcher as shipped: every step of start-up, finishing and PLAY is backed
// by a real service, so no flow silently skips one: without the preparation,
// PLAY would start a wine that was never installed.
#include <gtest/gtest.h>

#include "model/model_services.h"

namespace qh {

namespace {

TEST(ProductionWiring, EveryFlowStepHasItsService) {
  const ModelServices s = makeServices();
  EXPECT_TRUE(s.selfUpdate);
  EXPECT_TRUE(s.getString);
  EXPECT_TRUE(s.resolveRuntimeSpec);
  EXPECT_TRUE(s.sync);
  EXPECT_TRUE(s.prepareRuntime);
  EXPECT_TRUE(s.hideApp);
  EXPECT_TRUE(s.unhideApp);
  EXPECT_TRUE(s.activateApp);
  EXPECT_TRUE(s.quitApp);
  EXPECT_TRUE(s.resourcesDir);
}

}  // namespace

}  // namespace qh
