#include "play_fixture.h"

namespace qh {

using namespace play_test;

namespace {

class PlayTools : public PlayFixture {};

TEST_F(PlayTools, ForceQuitWithoutAClientEndsInNeedInstall) {
  installStubs();
  runTask(layer.runtime()->resolveSpec());
  runTask(play.stop());
  EXPECT_EQ(slurp(rec / "wineserver.calls"), "-k\n");
  EXPECT_EQ(model->phase(), Phase::needInstall);
}

// Before a runtime description is known there is nothing to run. The game
// ends of wineserver's SIGTERM (128 + 15), and its end is handled as any
// other: after 24 s the launcher quits.
TEST_F(PlayTools, ForceQuitEndsTheRunningGame) {
  readyToPlay();
  model->setPhase(Phase::working);
  runTask(play.stop());
  EXPECT_EQ(model->status(), "Game stopped.");
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_FALSE(fs::exists(rec / "wineserver.calls"));
  runTask(play.play(false));
  // wineserver -k can only end a stub that has said who it is.
  ASSERT_TRUE(spinUntil([this] { return starts() == 1; }));
  clock->advance(20.0);
  runTask(play.stop());
  EXPECT_EQ(model->status(), "Game stopped.");
  EXPECT_FALSE(play.running());
  ASSERT_TRUE(spinUntil([this] { return fakes.system.events.back() == "quit"; }));
  EXPECT_NE(logText().find("game exited code=143 lived=24s"), std::string::npos) << logText();
}

TEST_F(PlayTools, ResetDeletesTheRuntimeAndEveryPrefixAndWithoutAClientEndsInNeedInstall) {
  installStubs();
  for (const char* other : {"prefix/x", "prefix-old/x", "prefixes/x"}) writeFile(state / other, "");
  writeFile(state / "runtime.txt", "cached");
  runTask(reset.run());
  for (const char* gone : {"runtime", "prefix", "prefix-old", "prefix-stub"}) {
    EXPECT_FALSE(fs::exists(state / gone)) << gone;
  }
  EXPECT_TRUE(fs::exists(state / "prefixes/x"));
  EXPECT_EQ(slurp(state / "runtime.txt"), runtimeText);
  EXPECT_EQ(statuses,
            (std::vector<std::string>{"Resetting the compatibility layer...", "Reset complete."}));
  EXPECT_EQ(model->phase(), Phase::needInstall);
}

// The runtime is gone after the reset and this server cannot deliver it.
TEST_F(PlayTools, ResetWithAClientPreparesAgainThroughTheReadyStep) {
  readyToPlay();
  runTask(reset.run());
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_EQ(model->status(),
            QString::fromStdString("Reset complete - but the " + osLayout().layerName +
                                   " compatibility layer isn't ready."));
  EXPECT_TRUE(model->detail().endsWith("  Press PLAY to try again."));
}

// The command; a reset while working would delete what the work uses.
TEST_F(PlayTools, ResetCommandDoesNothingWhileWorking) {
  installStubs();
  model->setPhase(Phase::working);
  model->resetCompatibilityLayer();
  drainEvents();
  EXPECT_EQ(model->status(), "Starting...");
  EXPECT_TRUE(fs::exists(state / "runtime/stub/bin/wine"));
}

// On a Mac whose user cancels the installation (the gate's other outcomes:
// rosetta_test).
TEST_F(PlayTools, ACancelledRosettaInstallationFailsWithTheAlert) {
  fakes.system.machine.appleSilicon = true;
  fakes.system.machine.tools = {{Rosetta::softwareUpdate, {1, false}},
                                {Rosetta::osascript, {1, false}}};
  readyToPlay();
  runTask(play.play(false));
  EXPECT_EQ(statuses.front(), "Installing Rosetta 2 (Apple's Intel translator, needed once)...");
  EXPECT_EQ(model->status(), QString::fromStdString("Couldn't prepare the " + osLayout().layerName +
                                                    " compatibility layer."));
  EXPECT_EQ(model->detail(), "Rosetta 2 is required on Apple Silicon Macs and is not installed.");
  EXPECT_EQ(model->phase(), Phase::ready);
  ASSERT_TRUE(model->hasAlert());
  EXPECT_EQ(model->alertTitle(), "Rosetta 2 required");
  EXPECT_EQ(model->alertBody(),
            "Quellhaven runs through Apple's Rosetta 2 on Apple Silicon Macs. Install it by "
            "running this in Terminal, then press PLAY:\n\nsoftwareupdate --install-rosetta "
            "--agree-to-license");
  EXPECT_EQ(fakes.system.machine.runs.size(), 2u);
  EXPECT_EQ(starts(), 0);
}

// Linux, and the server offers no runtime for it: the system's Wine stands in,
// and while it cannot start the 32-bit game the player reads which package
// to install, from PLAY and from the ready step alike.
TEST_F(PlayTools, WithoutUsableWineThePlayerIsToldWhichPackageToInstall) {
  if (buildOs != Os::Linux) GTEST_SKIP() << "the system's Wine stands in on Linux only";
  fakes.network.texts.erase("/" + osLayout().runtimeDescription);
  installClient();
  model->setPhase(Phase::ready);
  runTask(play.play(false));
  EXPECT_EQ(model->status(),
            "Couldn't start the game: it needs Wine (the wine and wine32 packages).");
  EXPECT_EQ(model->detail().toStdString(), RuntimeError::wineMissing().what());
  EXPECT_EQ(model->phase(), Phase::ready);

  fakes.system.wineHost.debianWine64();
  runTask(ready.run("1.0", "Up to date", std::nullopt));
  EXPECT_EQ(model->status(), "Up to date - but the game needs the wine32 package.");
  EXPECT_EQ(model->detail().toStdString(),
            std::string(RuntimeError::wine32Missing().what()) + "  Press PLAY to try again.");
  EXPECT_EQ(starts(), 0);
}

}  // namespace

}  // namespace qh
