// The real thing: Debian's Wine behind a runtime whose bin/wine hands over to
// it, a fresh prefix, the registry import, the shim answering a mingw-built
// program's version.dll calls, and the stand-in game's early crash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>

#include "compat/game_process.h"
#include "compat/runtime.h"
#include "compat_support.h"
#include "core/qh.h"
#include "core/text.h"

namespace qh {

namespace {

using namespace compat_test;

bool executable(const char* path) {
  return ::access(path, X_OK) == 0;
}

// 32-bit Windows programs need wine32; a wine64-only system starts 64-bit ones.
std::string runnableArchitecture() {
  return executable("/usr/lib/wine/wine") ? "i686" : "x86_64";
}

class WineE2ETest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef __APPLE__
    GTEST_SKIP() << "needs Debian's Wine (/usr/bin/wine), which macOS does not have; "
                    "the launcher's own runtime is a download on macOS";
#endif
    if (!executable("/usr/bin/wine") || !executable("/usr/bin/wineserver")) {
      GTEST_SKIP() << "no Wine installed (/usr/bin/wine, /usr/bin/wineserver)";
    }
    // Headless, and nothing of the developer's own Wine set-up.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("WINEPREFIX");
    unsetenv("WINEDLLOVERRIDES");
  }
  void TearDown() override {
    if (runtime) {
      Program::runBlocking(*runtime->wineserver(), {"-k"}, runtime->environment(false),
                           std::nullopt);
    }
  }

  TempDir dir;
  fs::path state = dir / "state";
  fs::path client = dir / "client";
  std::shared_ptr<FakeNetwork> net = std::make_shared<FakeNetwork>();
  std::unique_ptr<Runtime> runtime;
};

TEST_F(WineE2ETest, PreparesAPrefixAndTheShimForwardsToTheRealVersionDll) {
  const std::string arch = runnableArchitecture();
  std::cout << "[ wine     ] running the " << arch << " shim and probe\n";
  const fs::path bin = state / "runtime/qh-e2e/bin";
  writeScript(bin / "wine", "exec /usr/bin/wine \"$@\"\n");
  writeScript(bin / "wineserver", "exec /usr/bin/wineserver \"$@\"\n");
  fs::create_directories(client);
  net->texts["/runtime.txt"] =
      "wine_id=qh-e2e\nwine_url=https://cdn.example/qh-e2e.tar.xz\nwine_sha256=\n"
      "wine_bin=bin/wine\n";
  runtime = std::make_unique<Runtime>(Paths{"https://dist.example", state, client}, Timing{}, *net);
  runTask(runtime->resolveSpec());

  runTask(runtime->preparePrefix({}));
  ASSERT_TRUE(runtime->prefixReady()) << slurp(state / "wine.log");
  EXPECT_TRUE(fs::is_directory(runtime->prefixDir() / "drive_c/windows/syswow64"));
  const std::string userReg = slurp(runtime->prefixDir() / "user.reg");
  for (const char* expected :
       {"[Software\\\\Wine\\\\Direct3D]", "\"VideoMemorySize\"=\"2048\"", "\"renderer\"=\"gl\"",
        "[Software\\\\Wine\\\\Mac Driver]", "\"LeftOptionIsAlt\"=\"y\"",
        "\"RightOptionIsAlt\"=\"y\"", "\"CaptureDisplaysForFullscreen\"=\"n\"",
        "[Software\\\\Wine\\\\DllOverrides]", "\"winemenubuilder.exe\"=\"\"", "\"mscoree\"=\"\"",
        "\"mshtml\"=\"\""}) {
    EXPECT_NE(userReg.find(expected), std::string::npos) << expected;
  }

  // The game's way of loading it: the shim beside the program, native first.
  runtime->installShim(fs::path(QH_SHIM_DIR) / arch / "version.dll");
  fs::copy_file(fs::path(QH_PROBE_DIR) / arch / "shim_probe.exe", client / "probe.exe");
  fs::create_directories(dir / "plain");
  fs::copy_file(fs::path(QH_PROBE_DIR) / arch / "shim_probe.exe", dir / "plain/probe.exe");
  auto env = runtime->environment(false);
  env["WINEDLLOVERRIDES"] += ";version=n,b";

  const fs::path withShim = dir / "with-shim.txt";
  const fs::path without = dir / "without.txt";
  ASSERT_EQ(Program::runBlocking(*runtime->wine(), {Runtime::windowsPath(client / "probe.exe")},
                                 env, withShim),
            0)
      << slurp(withShim);
  ASSERT_EQ(Program::runBlocking(*runtime->wine(), {Runtime::windowsPath(dir / "plain/probe.exe")},
                                 env, without),
            0)
      << slurp(without);
  Program::runBlocking(*runtime->wineserver(), {"-w"}, env, std::nullopt);

  const auto lines = [](const fs::path& f) { return Text::splitLines(slurp(f)); };
  const auto shimmed = lines(withShim), plain = lines(without);
  ASSERT_EQ(shimmed.size(), 2u) << slurp(withShim);
  ASSERT_EQ(plain.size(), 2u) << slurp(without);
  // The forwarded call gives the system's own answer, a real version number.
  EXPECT_TRUE(shimmed[0].starts_with("version=")) << shimmed[0];
  EXPECT_NE(shimmed[0], "version=0.0.0.0");
  EXPECT_EQ(shimmed[0], plain[0]);
  // ...and it came through the shim in the client folder.
  EXPECT_TRUE(Text::lower(shimmed[1]).ends_with("\\client\\version.dll")) << shimmed[1];
  EXPECT_FALSE(Text::lower(plain[1]).ends_with("\\client\\version.dll")) << plain[1];

  const auto log = lines(client / "Logs/qhshim.log");
  ASSERT_EQ(log.size(), 2u) << slurp(client / "Logs/qhshim.log");
  const std::string build = " launcher=" + std::to_string(QH::launcherBuild);
  EXPECT_NE(log[0].find("Z load pid="), std::string::npos) << log[0];
  EXPECT_NE(Text::lower(log[0]).find("\\client\\probe.exe" + build), std::string::npos) << log[0];
  EXPECT_NE(log[1].find("Z unload pid="), std::string::npos) << log[1];
  EXPECT_TRUE(log[1].ends_with(build)) << log[1];
  EXPECT_FALSE(fs::exists(dir / "plain/Logs"));

  // The stand-in game, crashing at once: its exit status comes through Wine
  // to the launcher's watcher. (The launcher's answer to a short life is
  // play_test's, on the fake clock.)
  fs::copy_file(QH_GAME_EXE, client / "QuellhavenGame.exe");
  writeFile(client / "qh_exit.txt", "0 3\n");
  const auto game = runtime->launchGame(fs::path(QH_SHIM_DIR) / arch / "version.dll", false);
  const auto status = std::make_shared<std::atomic<int>>(-1);
  game->setExitHandler([status](int s) { *status = s; });
  ASSERT_TRUE(spinUntil([&] { return *status != -1; }, 600000));
  EXPECT_EQ(*status, 3) << slurp(state / "wine.log");
  EXPECT_NE(slurp(client / "Logs/client.log").find("client exits with 3"), std::string::npos)
      << slurp(client / "Logs/client.log");
}

}  // namespace

}  // namespace qh
