#include <gtest/gtest.h>

#include "core/paths.h"
#include "core/qh.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// Points the support folder and home at a fresh folder for one test.
class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  }
  fs::path state() const { return home / "data" / "Quellhaven"; }
  TempDir home;
};

struct CfgCase {
  const char* name;
  std::string cfg;
  std::optional<std::string> expected;  // nullopt: the built-in default
};

class LauncherCfg : public PathsTest, public ::testing::WithParamInterface<CfgCase> {};

TEST_P(LauncherCfg, ResolvesBaseURL) {
  home.write(state() / "launcher.cfg", GetParam().cfg);
  const std::string want = GetParam().expected.value_or(QH::defaultBaseURL());
  EXPECT_EQ(Paths::load().base, want);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LauncherCfg,
    ::testing::Values(CfgCase{"BlankLinesThenTripleSlash", "\n\nhttps://a.example/x///\n",
                              "https://a.example/x"},
                      CfgCase{"SpacesAroundAndOneSlash", "  \thttps://b.example/ \t\nignored\n",
                              "https://b.example"},
                      CfgCase{"OnlySpacesFirstLine", "     \nhttps://c.example\n", std::nullopt},
                      CfgCase{"CrLfAndUnicodeSeparators", "\r\n\xE2\x80\xA8https://d.example\r\nx",
                              "https://d.example"},
                      CfgCase{"OnlySlashesLeaveNothing", "///\n", ""},
                      CfgCase{"NotUtf8IsUnreadable", "https://e.example\xff\n", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PathsTest, MissingFilesGiveDefaultsThenTheInstallPathIsRead) {
  const Paths p = Paths::load();
  EXPECT_EQ(p.base, QH::defaultBaseURL());
  EXPECT_EQ(p.stateDir, state());
  EXPECT_TRUE(fs::is_directory(p.stateDir));
  EXPECT_EQ(p.installDir, home / "Quellhaven");
  // The install path is trimmed and otherwise taken as written.
  home.write(state() / "install_path.txt", "  /games/My Client\n\n");
  EXPECT_EQ(Paths::load().installDir, fs::path("/games/My Client"));
  home.write(state() / "install_path.txt", "~/Games");
  EXPECT_EQ(Paths::load().installDir, fs::path("~/Games"));
  home.write(state() / "install_path.txt", " \n");
  EXPECT_EQ(Paths::load().installDir, home / "Quellhaven");
}

TEST_F(PathsTest, GameExePrefersQuellhavenThenWow) {
  Paths p;
  p.installDir = home / "client";
  EXPECT_EQ(p.gameExe(), home / "client" / "QuellhavenGame.exe");
  home.write("client/Wow.exe", "w");
  EXPECT_EQ(p.gameExe(), home / "client" / "Wow.exe");
  home.write("client/QuellhavenGame.exe", "q");
  EXPECT_EQ(p.gameExe(), home / "client" / "QuellhavenGame.exe");
}

}  // namespace

}  // namespace qh
