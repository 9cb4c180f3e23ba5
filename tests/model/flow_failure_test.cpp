// A command's flow that fails in a way nobody foresaw still ends: ready or
// needInstall, "Problem: ..." in the window and the error in the log, never
// a window left working with nothing to end it.
#include <functional>

#include "play_fixture.h"

namespace qh {

using namespace play_test;

namespace {

class FlowFailure;

struct Failure {
  const char* name;
  // The broken step, set up on the fixture.
  std::function<void(FlowFailure&)> arrange;
  std::function<void(LauncherModel&)> command;
  const char* logged;
  Phase phase;
};

class FlowFailure : public PlayFixture, public ::testing::WithParamInterface<Failure> {
 public:
  using PlayFixture::fakes;
  using PlayFixture::installClient;
  using PlayFixture::installStubs;
  using PlayFixture::model;
};

TEST_P(FlowFailure, EndsWithAProblemAndTheErrorInTheLog) {
  const Failure& f = GetParam();
  f.arrange(*this);
  f.command(*model);
  ASSERT_TRUE(spinUntil([this] { return model->phase() != Phase::working; }))
      << "left working at " << model->status().toStdString();
  drainEvents();
  EXPECT_EQ(model->phase(), f.phase);
  EXPECT_TRUE(model->status().startsWith("Problem: ")) << model->status().toStdString();
  EXPECT_NE(logText().find(f.logged), std::string::npos) << logText();
}

void readyWithClient(FlowFailure& t) {
  t.installStubs();
  t.installClient();
  t.model->setPhase(Phase::ready);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FlowFailure,
    ::testing::Values(Failure{
                          "StartUpSelfUpdate",
                          [](FlowFailure& t) { t.fakes.selfUpdater.failure = "self-update broke"; },
                          [](LauncherModel& m) { m.start(); }, "start-up failed: self-update broke",
                          Phase::needInstall},
                      Failure{"InstallFolder",
                              [](FlowFailure& t) {
                                t.fakes.system.broken = "homeDir";
                                t.model->setPhase(Phase::needInstall);
                                t.model->setInstallPath("~/Games");
                              },
                              [](LauncherModel& m) { m.primaryAction(); },
                              "install failed: homeDir broke", Phase::needInstall},
                      Failure{"PlayShim",
                              [](FlowFailure& t) {
                                readyWithClient(t);
                                t.fakes.system.broken = "resourcesDir";
                              },
                              [](LauncherModel& m) { m.primaryAction(); },
                              "play failed: resourcesDir broke", Phase::ready},
                      Failure{"PlayWithDiagnosticsShim",
                              [](FlowFailure& t) {
                                readyWithClient(t);
                                t.fakes.system.broken = "resourcesDir";
                              },
                              [](LauncherModel& m) { m.playWithDiagnostics(); },
                              "play with diagnostics failed: resourcesDir broke", Phase::ready}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
