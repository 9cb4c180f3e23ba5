#include "compat/rosetta.h"
#include "play_fixture.h"

namespace qh {

using namespace play_test;

namespace {

class PlayTools : public PlayFixture {};

// Force-quit with no game, with no runtime and then with one; then with a
// game, whose exit is handled as any other.
TEST_F(PlayTools, ForceQuitWithAndWithoutAGame) {
  readyToPlay();
  model->setPhase(Phase::working);
  runTask(model->stopGame());  // no description yet: nothing to run
  EXPECT_EQ(model->status(), "Game stopped.");
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_FALSE(fs::exists(rec / "wineserver.calls"));
  runTask(model->runtime()->resolveSpec());
  runTask(model->stopGame());
  EXPECT_EQ(slurp(rec / "wineserver.calls"), "-k\n");

  runTask(model->play(false));
  ASSERT_TRUE(model->game());
  // wineserver -k can only end a stub that has said who it is.
  ASSERT_TRUE(spinUntil([this] { return starts() == 1; }));
  clock->advance(20.0);
  model->forceQuitGame();
  ASSERT_TRUE(spinUntil([this] { return model->status() == "Game stopped."; }));
  EXPECT_FALSE(model->game());
  EXPECT_EQ(model->phase(), Phase::ready);
  // The stub dies of wineserver's SIGTERM (128 + 15); after 24 s the launcher quits.
  ASSERT_TRUE(spinUntil([this] { return !events.empty() && events.back() == "quit"; }));
  EXPECT_NE(logText().find("game exited code=143 lived=24s"), std::string::npos) << logText();
}

TEST_F(PlayTools, ResetWithoutAClientEndsInNeedInstallButNotWhileWorking) {
  installRuntime();
  state.write("prefix/x", "");
  state.write("prefix-old/x", "");
  state.write("prefixes/x", "");
  state.write("runtime.txt", "cached");
  model->setPhase(Phase::working);
  model->setStatus("busy");
  model->resetCompatibilityLayer();
  drainEvents();
  EXPECT_EQ(model->status(), "busy");
  EXPECT_TRUE(fs::exists(state / "runtime/stub/bin/wine"));

  model->setPhase(Phase::ready);
  // On a fast disk the whole reset may end before the call returns, so what
  // counts is the phase each status was shown in.
  std::vector<std::pair<Phase, std::string>> seen;
  QObject guard;
  QObject::connect(model.get(), &LauncherModel::statusChanged, &guard,
                   [&] { seen.emplace_back(model->phase(), model->status().toStdString()); });
  model->resetCompatibilityLayer();
  ASSERT_TRUE(spinUntil([this] { return model->phase() != Phase::working; }));
  const std::vector<std::pair<Phase, std::string>> expected = {
      {Phase::working, "Resetting the compatibility layer..."},
      {Phase::needInstall, "Reset complete."}};
  EXPECT_EQ(seen, expected);
  for (const char* gone : {"runtime", "prefix", "prefix-old", "prefix-stub"}) {
    EXPECT_FALSE(fs::exists(state / gone)) << gone;
  }
  EXPECT_TRUE(fs::exists(state / "prefixes/x"));
  // The description was fetched again and cached.
  EXPECT_EQ(slurp(state / "runtime.txt"), runtimeText);
  EXPECT_EQ(model->runtime()->spec()->id, "stub");
}

TEST_F(PlayTools, ResetWithAClientPreparesAgainThroughFinishing) {
  readyToPlay();
  // The runtime is gone after the reset and this server cannot deliver it.
  runTask(model->resetLayer());
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_TRUE(
      model->status().startsWith("Reset complete - but the Mac compatibility layer isn't "
                                 "ready."))
      << model->status().toStdString();
  EXPECT_TRUE(model->detail().endsWith("  Press PLAY to try again."));
}

// The Rosetta 2 gate as the model runs it.
// The Rosetta 2 gate as the model runs it, on a Mac whose user cancels the
// installation (the gate's other outcomes: rosetta_test).
TEST_F(PlayTools, ACancelledRosettaInstallationFailsWithTheAlert) {
  std::vector<std::string> ran;
  RosettaHost mac;
  mac.isAppleSilicon = [] { return true; };
  mac.rosettaPresent = [] { return false; };
  mac.run = [&ran](const fs::path& program, const std::vector<std::string>&, bool) {
    ran.push_back(program.string());
    return 1;
  };
  Timing timing;
  timing.clock = clock;
  makeModel(timing, mac);
  readyToPlay();
  runTask(model->play(false));
  EXPECT_EQ(statuses.front(), "Installing Rosetta 2 (Apple's Intel translator, needed once)...");
  EXPECT_EQ(model->status(), "Couldn't prepare the Mac compatibility layer.");
  EXPECT_EQ(model->detail(), "Rosetta 2 is required on Apple Silicon Macs and is not installed.");
  EXPECT_EQ(model->phase(), Phase::ready);
  ASSERT_TRUE(model->hasAlert());
  EXPECT_EQ(model->alertTitle(), "Rosetta 2 required");
  EXPECT_EQ(model->alertBody(),
            "Quellhaven runs through Apple's Rosetta 2 on Apple Silicon Macs. Install it by "
            "running this in Terminal, then press PLAY:\n\nsoftwareupdate --install-rosetta "
            "--agree-to-license");
  EXPECT_EQ(ran, (std::vector<std::string>{Rosetta::softwareUpdate, Rosetta::osascript}));
  EXPECT_EQ(starts(), 0);
}

}  // namespace

}  // namespace qh
