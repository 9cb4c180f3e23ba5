#include "play_fixture.h"

namespace qh {

using namespace play_test;

namespace {

const char* const kCrashStatus = "The game closed unexpectedly - press PLAY to try again.";
const char* const kCrashDetail =
    "If this keeps happening, use Tools > Play with diagnostics and send wine.log (Tools > Open "
    "logs) and the game's Logs/qhshim.log to the team.";

class Play : public PlayFixture {};

TEST_F(Play, WhileTheGameRunsTheLauncherHidesAfterTheDelay) {
  readyToPlay();
  runTask(play.play(false));
  EXPECT_TRUE(play.running());
  EXPECT_EQ(model->phase(), Phase::working);
  // The fake clock takes the hide delay at once, the game still runs.
  EXPECT_EQ(clock->waits(), std::vector<double>{4.0});
  EXPECT_EQ(fakes.system.events, std::vector<std::string>{"hide"});
  EXPECT_EQ(statuses,
            (std::vector<std::string>{"Verifying client files...", "Starting Quellhaven...",
                                      "Quellhaven is running."}));
}

struct Lifetime {
  double extra;  // after the 4 s hide delay
  int code;
  bool quits;
  const char* line;
};

class PlayLifetime : public PlayFixture, public ::testing::WithParamInterface<Lifetime> {};

TEST_P(PlayLifetime, TwelveSecondsOrMoreQuitsWhateverTheExitStatusShorterIsACrash) {
  const Lifetime c = GetParam();
  readyToPlay();
  runTask(play.play(false));
  clock->advance(c.extra);
  release(c.code);
  waitForExit();
  EXPECT_NE(logText().find(c.line), std::string::npos) << logText();
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_FALSE(play.running());
  if (c.quits) {
    EXPECT_EQ(fakes.system.events, (std::vector<std::string>{"hide", "quit"}));
    EXPECT_EQ(model->status(), "Quellhaven is running.");
  } else {
    EXPECT_EQ(fakes.system.events, (std::vector<std::string>{"hide", "unhide", "activate"}));
    EXPECT_EQ(model->status(), kCrashStatus);
    EXPECT_EQ(model->detail(), kCrashDetail);
  }
}

INSTANTIATE_TEST_SUITE_P(Lifetimes, PlayLifetime,
                         ::testing::Values(Lifetime{7.99, 0, false,
                                                    "  game exited code=0 lived=11s\n"},
                                           Lifetime{8.0, 5, true, "code=5 lived=12s"}));

// One argument, the client folder, exactly the launch environment, the shim,
// the integrity report and a fresh wine.log.
TEST_F(Play, ALaunchGivesTheChildItsArgumentFolderEnvironmentAndFiles) {
  readyToPlay();
  writeFile(state / "wine.log", "wineboot output of an earlier run\n");
  // Inherited by the launcher; the client without DXVK must not see it.
  ::setenv("DXVK_HUD", "full", 1);
  ::setenv("QH_PLAY_TEST_MARK", "kept", 1);
  runTask(play.play(false));
  ::unsetenv("DXVK_HUD");
  ::unsetenv("QH_PLAY_TEST_MARK");
  release(0);
  waitForExit();
  std::string windows = "Z:" + (client / "QuellhavenGame.exe").string();
  std::replace(windows.begin(), windows.end(), '/', '\\');
  EXPECT_EQ(slurp(rec / "args"), "1\n" + windows + "\n");
  EXPECT_EQ(fs::path(Text::trimWhitespace(slurp(rec / "cwd"))), client);

  const auto seen = parseEnv(slurp(rec / "env"));
  EXPECT_EQ(seen.count("DXVK_HUD"), 0u);
  EXPECT_EQ(seen.at("WINEDLLOVERRIDES"), "mscoree=;mshtml=;winemenubuilder.exe=;version=n,b");
  EXPECT_EQ(seen.at("http_proxy"), "http://127.0.0.1:9");
  EXPECT_EQ(seen.at("HTTP_PROXY"), "http://127.0.0.1:9");
  EXPECT_EQ(seen.at("QH_PLAY_TEST_MARK"), "kept");
  // Nothing beyond the launch environment: compare with what the runtime builds.
  std::map<std::string, std::string> expected = layer.runtime()->launchEnvironment(false, false);
  for (const char* own : {"DXVK_HUD", "QH_PLAY_TEST_MARK", "PWD", "OLDPWD", "SHLVL", "_"})
    expected.erase(own);
  std::map<std::string, std::string> got = seen;
  got.erase("QH_PLAY_TEST_MARK");
  EXPECT_EQ(got, expected);

  EXPECT_EQ(slurp(state / "wine.log"), "stub wine says hello\nstub wine complains\n");
  EXPECT_TRUE(fs::is_directory(client / "Logs"));
  EXPECT_EQ(slurp(client / "version.dll"), "shim bytes");
  EXPECT_TRUE(fs::exists(client / "WTF/SavedVariables/QuellhavenIntegrity.lua"));
  EXPECT_NE(logText().find("  launch: dxvk=false runtime=stub\n"), std::string::npos);
}

TEST_F(Play, DiagnosticsWithDxvkInPlace) {
  readyToPlay();
  writeFile(state / "runtime/stub/dxvk/d3d9.dll", "dxvk");
  fs::create_directories(state / "prefix-stub/drive_c/windows/syswow64");
  runTask(play.play(true));
  EXPECT_EQ(model->detail(), "Diagnostics logging is on (wine.log).");
  release(0);
  waitForExit();
  const auto seen = parseEnv(slurp(rec / "env"));
  EXPECT_EQ(seen.at("WINEDLLOVERRIDES"),
            "mscoree=;mshtml=;winemenubuilder.exe=;version=n,b;d3d9=n");
  EXPECT_EQ(seen.at("DXVK_HUD"), "fps");
  EXPECT_EQ(slurp(state / "prefix-stub/drive_c/windows/syswow64/d3d9.dll"), "dxvk");
  EXPECT_NE(logText().find("launch: dxvk=true runtime=stub"), std::string::npos);
}

TEST_F(Play, OnlyReadyPlaysAndNeverStartsASecondClient) {
  readyToPlay();
  for (const Phase phase : {Phase::needInstall, Phase::working}) {
    model->setPhase(phase);
    runTask(play.play(false));
    EXPECT_EQ(model->phase(), phase);
  }
  EXPECT_EQ(starts(), 0);
  model->setPhase(Phase::ready);
  runTask(play.play(false));
  ASSERT_TRUE(spinUntil([this] { return starts() == 1; }));
  model->setPhase(Phase::ready);
  runTask(play.play(false));  // ready, but the game still runs: nothing
  EXPECT_EQ(model->phase(), Phase::ready);
  release(0);
  waitForExit();
  ASSERT_TRUE(spinUntil([this] { return !play.running(); }));
  EXPECT_EQ(starts(), 1);
}

// The exit may come before the hide delay is over.
TEST_F(Play, AGameThatEndsAtOnceEndsReadyAndVisible) {
  readyToPlay(/*gate=*/false, /*code=*/3);
  runTask(play.play(false));
  waitForExit();
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_FALSE(play.running());
  EXPECT_EQ(model->status(), kCrashStatus);
  ASSERT_GE(fakes.system.events.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(fakes.system.events.end() - 2, fakes.system.events.end()),
            (std::vector<std::string>{"unhide", "activate"}));
  EXPECT_NE(logText().find("game exited code=3 lived="), std::string::npos);
}

// A game's own handlers act for that game only: a game that crashed at once
// and one that outlived a force quit may end while a later game runs.
TEST_F(Play, TheHideCheckOfAGameThatCrashedLeavesTheNextGameAlone) {
  clock->holdWaits = true;
  readyToPlay();
  runTask(play.play(false));
  release(1);
  waitForExit();
  ASSERT_EQ(model->status(), kCrashStatus);
  clock->advance(1.0);
  runTask(play.play(false));  // the second game, 1 s after the first
  ASSERT_TRUE(play.running());
  clock->advance(3.0);  // the first game's check is due
  EXPECT_EQ(model->status(), "Starting Quellhaven...");
  EXPECT_EQ(fakes.system.events, (std::vector<std::string>{"unhide", "activate"}));
  clock->advance(1.0);  // the second game's own
  EXPECT_EQ(model->status(), "Quellhaven is running.");
  EXPECT_EQ(fakes.system.events, (std::vector<std::string>{"unhide", "activate", "hide"}));
}

TEST_F(Play, AGameThatOutlivedAForceQuitEndsWithoutTouchingTheNextOne) {
  readyToPlay();
  runTask(play.play(false));
  ASSERT_TRUE(spinUntil([this] { return starts() == 1; }));
  const pid_t first = std::stoi(slurp(rec / "pid"));
  // A hung Wine: force quit does not reach it.
  fs::remove(rec / "pid");
  runTask(play.stop());
  ASSERT_EQ(model->phase(), Phase::ready);
  clock->advance(20.0);
  runTask(play.play(false));
  ASSERT_TRUE(spinUntil([this] { return starts() == 2; }));
  ::kill(first, SIGTERM);
  ASSERT_TRUE(spinUntil([this] { return logText().find("code=143") != std::string::npos; }));
  drainEvents();
  EXPECT_EQ(model->phase(), Phase::working);
  EXPECT_TRUE(play.running());
  EXPECT_EQ(std::count(fakes.system.events.begin(), fakes.system.events.end(), "quit"), 0);
  // Its 4 s hide delay, the 20 s, the second game's hide delay.
  EXPECT_NE(logText().find("game exited code=143 lived=28s (an earlier game)"), std::string::npos)
      << logText();
}

// What stops a launch ends ready with its own text, nothing started and the
// launcher shown; each cause is put right before the next is tried.
TEST_F(Play, WhatStopsALaunchEndsReadyWithItsOwnText) {
  readyToPlay();
  model->setDetail("Version 1.0");
  fs::remove(bundle / "shim/version.dll");
  runTask(play.play(false));
  EXPECT_EQ(model->status(),
            "Launcher is damaged (missing shim). Re-download it from the website.");
  EXPECT_EQ(model->detail(), "Version 1.0");
  EXPECT_EQ(model->phase(), Phase::ready);

  installClient();
  fs::remove_all(client);
  runTask(play.play(false));
  EXPECT_EQ(model->status(), "Could not launch the game.");
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_FALSE(fs::exists(client)) << "the client folder was made again";

  installClient();
  model->setStatus("");
  writeExecutable(state / "runtime/stub/bin/wine", "#!/nonexistent/interpreter\n");
  runTask(play.play(false));
  EXPECT_EQ(model->status(), "Could not launch the game.");
  EXPECT_NE(model->detail().indexOf("No such file or directory"), -1)
      << model->detail().toStdString();
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_EQ(starts(), 0);
  EXPECT_FALSE(play.running());
  EXPECT_TRUE(fakes.system.events.empty());
}

}  // namespace

}  // namespace qh
