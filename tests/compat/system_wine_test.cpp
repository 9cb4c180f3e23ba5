// The system's Wine on Linux, when the server offers no runtime for it:
// which installs can start the 32-bit game, and what the player is told to
// install when none can.
#include "compat/system_wine.h"

#include <gtest/gtest.h>

#include "compat/runtime.h"
#include "compat_support.h"
#include "core/os_layout.h"

namespace qh {

namespace {

using namespace compat_test;
using Support = SystemWine::Support;

struct WineSystem {
  const char* name;
  std::vector<std::string> programs;
  std::vector<std::string> files;
  Support support;
  std::string wine;
};

void PrintTo(const WineSystem& system, std::ostream* out) {
  *out << system.name;
}

class SystemWineSearch : public ::testing::TestWithParam<WineSystem> {};

TEST_P(SystemWineSearch, FindsAWineThatStarts32BitPrograms) {
  FakeWineHost host;
  host.programs.insert(GetParam().programs.begin(), GetParam().programs.end());
  host.files.insert(GetParam().files.begin(), GetParam().files.end());
  const SystemWine::Found found = SystemWine::find(host);
  EXPECT_EQ(found.support, GetParam().support);
  EXPECT_EQ(found.wine, GetParam().wine);
  // Whatever the launcher's working folder: never a path relative to it.
  for (const std::string& path : host.asked()) EXPECT_EQ(path.front(), '/') << path;
}

const std::string usr64 = "/usr/lib/x86_64-linux-gnu/wine/x86_64-unix/ntdll.so";
const std::string debian32 = "/usr/lib/i386-linux-gnu/wine/i386-unix/ntdll.so";

INSTANTIATE_TEST_SUITE_P(
    Systems, SystemWineSearch,
    ::testing::Values(WineSystem{"Nothing", {}, {}, Support::none, ""},
                      // Debian 12's wine64: a 64-bit Wine with one stray 32-bit DLL.
                      WineSystem{"DebianWine64",
                                 {"/usr/bin/wine", "/usr/bin/wineserver"},
                                 {usr64, "/usr/lib/x86_64-linux-gnu/wine/i386-windows/zlib1.dll"},
                                 Support::only64,
                                 "/usr/bin/wine"},
                      WineSystem{"DebianWine32",
                                 {"/usr/bin/wine", "/usr/bin/wineserver"},
                                 {usr64, debian32},
                                 Support::wine32,
                                 "/usr/bin/wine"},
                      WineSystem{"FedoraWow64",
                                 {"/usr/bin/wine", "/usr/bin/wineserver"},
                                 {"/usr/lib64/wine/x86_64-unix/ntdll.so",
                                  "/usr/lib64/wine/i386-windows/ntdll.dll"},
                                 Support::wow64,
                                 "/usr/bin/wine"},
                      // The 32-bit Windows side alone, without the 64-bit Unix side beside it,
                      // is a 32-bit Wine's leftovers, not WoW64.
                      WineSystem{"WindowsSideElsewhere",
                                 {"/usr/bin/wine", "/usr/bin/wineserver"},
                                 {usr64, "/usr/lib64/wine/i386-windows/ntdll.dll"},
                                 Support::only64,
                                 "/usr/bin/wine"},
                      // The distribution's 64-bit-only Wine is passed over for WineHQ's that can.
                      WineSystem{"WineHqBesideDebianWine64",
                                 {"/usr/bin/wine", "/usr/bin/wineserver",
                                  "/opt/wine-staging/bin/wine", "/opt/wine-staging/bin/wineserver"},
                                 {usr64, "/opt/wine-staging/lib64/wine/x86_64-unix/ntdll.so",
                                  "/opt/wine-staging/lib64/wine/i386-windows/ntdll.dll"},
                                 Support::wow64,
                                 "/opt/wine-staging/bin/wine"},
                      WineSystem{"WineHqStableWith32BitSide",
                                 {"/opt/wine-stable/bin/wine", "/opt/wine-stable/bin/wineserver"},
                                 {"/opt/wine-stable/lib/wine/i386-unix/ntdll.so"},
                                 Support::wine32,
                                 "/opt/wine-stable/bin/wine"},
                      // A wine that cannot run, or has no wineserver, is no Wine at all.
                      WineSystem{"NotExecutable",
                                 {"/usr/bin/wineserver"},
                                 {"/usr/bin/wine", debian32},
                                 Support::none,
                                 ""},
                      WineSystem{"NoWineserver", {"/usr/bin/wine"}, {debian32}, Support::none, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Linux with no runtime on the server and none cached.
class SystemWineRuntime : public RuntimeFixture {
 protected:
  void SetUp() override {
    if (buildOs != Os::Linux) GTEST_SKIP() << "the system's Wine stands in on Linux only";
    RuntimeFixture::SetUp();
  }
  // Throws what install() throws.
  void install(Runtime& runtime) { runTask(runtime.install(status.callback())); }
  // What the player reads, and what the status line says is needed.
  std::string failure(Runtime& runtime) {
    try {
      install(runtime);
    } catch (const RuntimeError& e) {
      return e.what() + std::string(" | ") + e.need();
    }
    return "installed";
  }
};

TEST_F(SystemWineRuntime, WithoutUsableWineThePlayerIsToldWhichPackageToInstall) {
  Runtime runtime = resolved(std::nullopt);
  ASSERT_TRUE(runtime.spec());
  EXPECT_TRUE(runtime.spec()->systemWine);
  EXPECT_EQ(runtime.spec()->id, "system-wine");
  EXPECT_FALSE(runtime.isInstalled());
  EXPECT_EQ(failure(runtime),
            "Wine is not installed, and the game runs through it. On Debian or Ubuntu: sudo dpkg "
            "--add-architecture i386 && sudo apt update && sudo apt install wine wine32:i386 | "
            "Wine (the wine and wine32 packages)");

  wines.debianWine64();
  EXPECT_FALSE(runtime.isInstalled());
  EXPECT_EQ(
      failure(runtime),
      "The installed Wine runs 64-bit programs only; the game is 32-bit. On Debian or Ubuntu: "
      "sudo dpkg --add-architecture i386 && sudo apt update && sudo apt install wine32:i386 | "
      "the wine32 package");
  // Nothing was downloaded for it.
  EXPECT_TRUE(net->fetches.empty());
}

// The player installs wine32 and presses PLAY again: the same runtime finds it.
TEST_F(SystemWineRuntime, AWineInstalledSinceIsTakenWithTheUsualPrefix) {
  wines.debianWine64();
  Runtime runtime = resolved(std::nullopt);
  EXPECT_THROW(install(runtime), RuntimeError);
  wines.debianWine32();
  install(runtime);
  EXPECT_TRUE(runtime.isInstalled());
  EXPECT_EQ(runtime.wine(), fs::path("/usr/bin/wine"));
  EXPECT_EQ(runtime.wineserver(), fs::path("/usr/bin/wineserver"));
  EXPECT_EQ(runtime.prefixDir(), state / "prefix-system-wine");
  EXPECT_EQ(runtime.environment(false).at("WINEPREFIX"), (state / "prefix-system-wine").string());
  EXPECT_EQ(runtime.dxvkSource(), std::nullopt);
  EXPECT_NE(slurp(dir / "launcher.log").find("runtime: the system's Wine, /usr/bin/wine (wine32)"),
            std::string::npos);
}

// A runtime the server offers for Linux is used as on the Mac, system Wine or not.
TEST_F(SystemWineRuntime, TheServersRuntimeComesFirst) {
  wines.debianWine32();
  Runtime runtime = resolved(
      "wine_id=qh-wine-9\nwine_url=runtime/qh-wine-9.tar.xz\nwine_sha256=abc\n"
      "wine_bin=qh-wine-9/bin/wine\n");
  ASSERT_TRUE(runtime.spec());
  EXPECT_FALSE(runtime.spec()->systemWine);
  EXPECT_EQ(runtime.wine(), state / "runtime/qh-wine-9/qh-wine-9/bin/wine");
}

}  // namespace

}  // namespace qh
