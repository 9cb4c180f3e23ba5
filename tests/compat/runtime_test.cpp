#include "compat/runtime.h"

#include <gtest/gtest.h>

#include "compat_support.h"
#include "core/os_layout.h"

namespace qh {

namespace {

using namespace compat_test;

const std::string kText =
    "wine_id=qh-wine-9\nwine_url=runtime/qh-wine-9.tar.xz\nwine_sha256=abc\n"
    "wine_bin=qh-wine-9/bin/wine\nwine_libs=qh-wine-9/lib\ndxvk_dll=qh-wine-9/dxvk/d3d9.dll\n";

const std::string kBase = "http://127.0.0.1:9/base";

using RuntimeTest = RuntimeFixture;

// The server's description is used and cached as sent; when the server's is
// unusable the cache stands, untouched; with neither, the built-in one.
TEST_F(RuntimeTest, ServerDescriptionThenCacheThenBuiltIn) {
  Runtime runtime = resolved("# from the server\r\n" + kText, kBase);
  ASSERT_TRUE(runtime.spec());
  EXPECT_EQ(runtime.spec()->id, "qh-wine-9");
  EXPECT_EQ(runtime.spec()->url,
            "http://127.0.0.1:9/base/" + osLayout().runtimeArchive("qh-wine-9"));
  const std::string cached = slurp(dir / "state" / "runtime.txt");
  EXPECT_EQ(cached, net->texts.at("/runtime.txt"));
  ASSERT_EQ(net->requested.size(), 1u);
  EXPECT_TRUE(net->requested[0].starts_with("http://127.0.0.1:9/base/" +
                                            osLayout().runtimeDescription + "?t="))
      << net->requested[0];

  // No wine_sha256.
  Runtime fromCache =
      resolved("wine_id=new\nwine_url=https://h/n.tar.xz\nwine_bin=n/wine\n", kBase);
  ASSERT_TRUE(fromCache.spec());
  EXPECT_EQ(fromCache.spec()->id, "qh-wine-9");
  EXPECT_EQ(slurp(dir / "state" / "runtime.txt"), cached);

  dir.write("state/runtime.txt", std::string("wine_id=x\xff\n", 11));
  Runtime builtIn = resolved(std::nullopt, kBase);
  ASSERT_TRUE(builtIn.spec());
  if (buildOs == Os::Linux) {
    // No Wine build of ours fits every Linux: the system's stands in.
    EXPECT_EQ(builtIn.spec()->id, "system-wine");
    EXPECT_TRUE(builtIn.spec()->systemWine);
    return;
  }
  EXPECT_EQ(builtIn.spec()->id, "qh-wine-cx23.7.1-2");
  EXPECT_EQ(builtIn.spec()->url, "http://127.0.0.1:9/base/mac/runtime/qh-wine-cx23.7.1-2.tar.xz");
  EXPECT_EQ(builtIn.spec()->size, -1);
}

// --- environment ---

struct EnvCase {
  const char* name;
  bool verbose;
  bool dxvk;
  std::map<std::string, std::string> expected;  // "@" stands for the support folder
};

class RuntimeEnvironmentTest : public RuntimeTest, public ::testing::WithParamInterface<EnvCase> {};

TEST_P(RuntimeEnvironmentTest, BuildsTheTable) {
  const EnvCase& c = GetParam();
  Runtime runtime = resolved(kText, kBase);
  if (c.dxvk) dir.write("state/runtime/qh-wine-9/qh-wine-9/dxvk/d3d9.dll", "MZ");
  setenv("WINEDEBUG", "inherited", 1);
  setenv("QH_ENV_MARK", "kept", 1);
  auto env = runtime.environment(c.verbose);
  unsetenv("WINEDEBUG");
  unsetenv("QH_ENV_MARK");
  EXPECT_EQ(env["PATH"],
            (state / "runtime/qh-wine-9/qh-wine-9/bin").string() + ":" + std::getenv("PATH"));
  EXPECT_EQ(env["QH_ENV_MARK"], "kept");
  const std::string s = (dir / "state").string();
  for (auto [key, value] : c.expected) {
    if (const auto at = value.find('@'); at != std::string::npos) value.replace(at, 1, s);
    EXPECT_EQ(env[key], value) << key;
  }
  for (const char* key : {"DXVK_ASYNC", "DXVK_LOG_LEVEL", "DXVK_STATE_CACHE_PATH", "DXVK_HUD"}) {
    EXPECT_EQ(env.contains(key), c.expected.contains(key)) << key;
  }
}

const std::map<std::string, std::string> kCommon = {
    {"WINEPREFIX", "@/prefix-qh-wine-9"},
    {"DYLD_FALLBACK_LIBRARY_PATH", "@/runtime/qh-wine-9/qh-wine-9/lib:/usr/lib"},
    {"WINEDLLOVERRIDES", "mscoree=;mshtml=;winemenubuilder.exe="},
    {"MVK_CONFIG_LOG_LEVEL", "0"},
};

std::map<std::string, std::string> with(std::map<std::string, std::string> extra) {
  extra.insert(kCommon.begin(), kCommon.end());
  return extra;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, RuntimeEnvironmentTest,
    ::testing::Values(EnvCase{"quietNoDxvk", false, false, with({{"WINEDEBUG", "-all"}})},
                      EnvCase{"quietDxvk", false, true,
                              with({{"WINEDEBUG", "-all"},
                                    {"DXVK_ASYNC", "1"},
                                    {"DXVK_LOG_LEVEL", "none"},
                                    {"DXVK_STATE_CACHE_PATH", "@/dxvk-cache"}})},
                      EnvCase{"verboseDxvk", true, true,
                              with({{"WINEDEBUG", "err+all,warn+seh,+loaddll,fixme-all"},
                                    {"DXVK_ASYNC", "1"},
                                    {"DXVK_LOG_LEVEL", "warn"},
                                    {"DXVK_STATE_CACHE_PATH", "@/dxvk-cache"},
                                    {"DXVK_HUD", "fps"}})}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
