#include "compat/runtime.h"

#include <gtest/gtest.h>

#include "compat_support.h"

namespace {

using namespace compat_test;

const std::string kText =
    "wine_id=qh-wine-9\nwine_url=runtime/qh-wine-9.tar.xz\nwine_sha256=abc\n"
    "wine_bin=qh-wine-9/bin/wine\nwine_libs=qh-wine-9/lib\ndxvk_dll=qh-wine-9/dxvk/d3d9.dll\n";

const std::string kBase = "http://127.0.0.1:9/base";

using RuntimeTest = RuntimeFixture;

TEST_F(RuntimeTest, ServerDescriptionIsUsedAndCachedVerbatim) {
  Runtime runtime = resolved("# from the server\r\n" + kText, kBase);
  ASSERT_TRUE(runtime.spec());
  EXPECT_EQ(runtime.spec()->id, "qh-wine-9");
  EXPECT_EQ(runtime.spec()->url, "http://127.0.0.1:9/base/mac/runtime/qh-wine-9.tar.xz");
  EXPECT_EQ(slurp(dir / "state" / "runtime.txt"), *net->runtimeTxt);
  ASSERT_EQ(net->requested.size(), 1u);
  EXPECT_TRUE(net->requested[0].starts_with("http://127.0.0.1:9/base/mac/runtime.txt?t="))
      << net->requested[0];
}

TEST_F(RuntimeTest, UnusableServerTextFallsBackToTheUntouchedCache) {
  const std::string cached =
      "wine_id=cached\nwine_url=https://h/c.tar.xz\nwine_sha256=\nwine_bin=c/wine\n";
  dir.write("state/runtime.txt", cached);
  // No wine_sha256.
  Runtime runtime = resolved("wine_id=new\nwine_url=https://h/n.tar.xz\nwine_bin=n/wine\n", kBase);
  ASSERT_TRUE(runtime.spec());
  EXPECT_EQ(runtime.spec()->id, "cached");
  EXPECT_EQ(slurp(dir / "state" / "runtime.txt"), cached);
}

TEST_F(RuntimeTest, FailedFetchAndUnreadableCacheGiveTheBuiltInDescription) {
  dir.write("state/runtime.txt", std::string("wine_id=x\xff\n", 11));
  Runtime runtime = resolved(std::nullopt, kBase);
  ASSERT_TRUE(runtime.spec());
  EXPECT_EQ(runtime.spec()->id, "qh-wine-cx23.7.1-2");
  EXPECT_EQ(runtime.spec()->url, "http://127.0.0.1:9/base/mac/runtime/qh-wine-cx23.7.1-2.tar.xz");
  EXPECT_EQ(runtime.spec()->size, -1);
}

// --- environment ---

struct EnvCase {
  const char* name;
  bool verbose;
  bool dxvk;
  std::optional<std::string> inheritedPath;
  std::map<std::string, std::string> expected;  // "@" stands for the support folder
};

class RuntimeEnvironmentTest : public RuntimeTest, public ::testing::WithParamInterface<EnvCase> {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    savedPath_ =
        std::getenv("PATH") ? std::optional<std::string>(std::getenv("PATH")) : std::nullopt;
    setenv("WINEDEBUG", "inherited", 1);
    setenv("QH_ENV_MARK", "kept", 1);
  }
  void TearDown() override {
    if (savedPath_) setenv("PATH", savedPath_->c_str(), 1);
    unsetenv("WINEDEBUG");
    unsetenv("QH_ENV_MARK");
    RuntimeTest::TearDown();
  }
  std::optional<std::string> savedPath_;
};

TEST_P(RuntimeEnvironmentTest, BuildsTheTable) {
  const EnvCase& c = GetParam();
  Runtime runtime = resolved(kText, kBase);
  if (c.dxvk) dir.write("state/runtime/qh-wine-9/qh-wine-9/dxvk/d3d9.dll", "MZ");
  if (c.inheritedPath) {
    setenv("PATH", c.inheritedPath->c_str(), 1);
  } else {
    unsetenv("PATH");
  }
  auto env = runtime.environment(c.verbose);
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
    ::testing::Values(EnvCase{"quietNoDxvk", false, false, "/opt/x:/usr/bin",
                              with({{"WINEDEBUG", "-all"},
                                    {"PATH",
                                     "@/runtime/qh-wine-9/qh-wine-9/bin:/opt/x:/usr/bin"}})},
                      EnvCase{"quietDxvk", false, true, "/usr/bin",
                              with({{"WINEDEBUG", "-all"},
                                    {"DXVK_ASYNC", "1"},
                                    {"DXVK_LOG_LEVEL", "none"},
                                    {"DXVK_STATE_CACHE_PATH", "@/dxvk-cache"},
                                    {"PATH", "@/runtime/qh-wine-9/qh-wine-9/bin:/usr/bin"}})},
                      EnvCase{"verboseDxvk", true, true, "/usr/bin",
                              with({{"WINEDEBUG", "err+all,warn+seh,+loaddll,fixme-all"},
                                    {"DXVK_ASYNC", "1"},
                                    {"DXVK_LOG_LEVEL", "warn"},
                                    {"DXVK_STATE_CACHE_PATH", "@/dxvk-cache"},
                                    {"DXVK_HUD", "fps"},
                                    {"PATH", "@/runtime/qh-wine-9/qh-wine-9/bin:/usr/bin"}})},
                      EnvCase{"noInheritedPath", false, false, std::nullopt,
                              with({{"PATH", "@/runtime/qh-wine-9/qh-wine-9/bin:/usr/bin:/bin"}})}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
