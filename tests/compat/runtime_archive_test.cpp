// The runtime as qh-publish packs it, served over HTTP and installed by
// Runtime through the real downloader.
#include "tools/publish/runtime_archive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "compat/runtime.h"
#include "compat_support.h"
#include "core/os_layout.h"
#include "net/hash.h"
#include "net/network.h"
#include "net/signature.h"
#include "support/run_tool.h"
#include "support/signing.h"
#include "support/test_server.h"

namespace qh {

namespace {

using namespace compat_test;

class RuntimeArchiveTest : public RuntimeFixture {
 protected:
  void SetUp() override {
    RuntimeFixture::SetUp();
    writeScript(tree / "wswine.bundle/bin/wine", "exit 0\n");
    writeScript(tree / "wswine.bundle/bin/wineserver", "exit 0\n");
    writeScript(tree / "tools/old/wine", "exit 0\n");  // deeper: not chosen
    // Incompressible, so the archive is large enough to be cut short.
    std::string library(200000, '\0');
    uint32_t x = 12345;
    for (char& c : library) c = static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
    dir.write("rt/Frameworks/libMoltenVK.1.dylib", library);
    fs::create_symlink("libMoltenVK.1.dylib", tree / "Frameworks/libMoltenVK.dylib");
    dir.write("rt/dxvk/d3d9.dll", "dxvk d3d9");
    dir.write("rt/wswine.bundle/lib/wine/i386-windows/d3d9.dll", "wine's own d3d9");
  }
  Runtime runtimeAgainst(const TestServer& server) {
    Timing timing;
    timing.clock = clock;
    return Runtime(Paths{server.url(), state, dir / "client"}, timing, network);
  }

  RealNetwork network;
  fs::path tree = dir / "rt";
  fs::path out = dir / "out";
};

// Where wine, libraries and DXVK sit in the usual layout: the description
// WritesTheArchiveAndItsDescription pins.
TEST_F(RuntimeArchiveTest, WithoutFrameworksTheLibrariesAreBesideBin) {
  fs::remove_all(tree / "Frameworks");
  fs::remove_all(tree / "dxvk");
  const auto layout = RuntimeArchive::find(tree);
  EXPECT_EQ(layout.libDir, "wswine.bundle/lib");
  EXPECT_EQ(layout.dxvkDll, std::nullopt);
}

TEST_F(RuntimeArchiveTest, RefusesAFolderWithoutWineOrWineserverAndBadIds) {
  EXPECT_THROW(RuntimeArchive::find(dir / "rt/dxvk"), std::runtime_error);
  writeScript(dir / "lonely/bin/wine", "exit 0\n");
  EXPECT_THROW(RuntimeArchive::find(dir / "lonely"), std::runtime_error);
  for (const char* id : {"", "..", "a/b", "a b", "x\n"}) {
    EXPECT_THROW(RuntimeArchive::publish(tree, id, out, buildOs), std::runtime_error) << id;
  }
  EXPECT_FALSE(fs::exists(out / osLayout().runtimeDescription));
}

// Each platform's runtime lies in its own folder of one tree: publishing the
// Linux one leaves the Mac one as it was.
TEST_F(RuntimeArchiveTest, WritesTheArchiveAndItsDescriptionPerPlatform) {
  RuntimeArchive::publish(tree, "qh-wine-test-1", out, Os::macOS);
  const fs::path archive = out / "mac/runtime/qh-wine-test-1.tar.xz";
  ASSERT_TRUE(fs::exists(archive));
  const std::string mac = slurp(out / "mac/runtime.txt");
  EXPECT_EQ(mac,
            "wine_id=qh-wine-test-1\nwine_url=runtime/qh-wine-test-1.tar.xz\nwine_sha256=" +
                Hash::sha256(archive) + "\nwine_size=" + std::to_string(fs::file_size(archive)) +
                "\nwine_bin=qh-wine-test-1/wswine.bundle/bin/wine\n"
                "wine_libs=qh-wine-test-1/Frameworks\ndxvk_dll=qh-wine-test-1/dxvk/d3d9.dll\n");

  fs::remove_all(tree / "dxvk");
  RuntimeArchive::publish(tree, "qh-wine-test-2", out, Os::Linux);
  EXPECT_TRUE(fs::exists(out / "linux/runtime/qh-wine-test-2.tar.xz"));
  EXPECT_THAT(
      slurp(out / "linux/runtime.txt"),
      testing::StartsWith("wine_id=qh-wine-test-2\nwine_url=runtime/qh-wine-test-2.tar.xz"));
  EXPECT_EQ(slurp(out / "mac/runtime.txt"), mac);
  EXPECT_TRUE(fs::exists(archive));
}

TEST_F(RuntimeArchiveTest, ServedRuntimeResumesAfterADropAndInstallsWithLinks) {
  // Published for this platform, beside the other platform's runtime: the
  // launcher takes its own.
  RuntimeArchive::publish(tree, "qh-wine-test-1", out, buildOs);
  RuntimeArchive::publish(tree / "wswine.bundle", "other", out,
                          buildOs == Os::Linux ? Os::macOS : Os::Linux);
  const std::string archive = "/" + osLayout().runtimeArchive("qh-wine-test-1");
  TestServer server;
  server.serveFolder(out);
  server.fault(archive, {.dropAfter = 4000}, 1);
  Runtime runtime = runtimeAgainst(server);
  runTask(runtime.resolveSpec());
  ASSERT_TRUE(runtime.spec());
  EXPECT_EQ(runtime.spec()->url, server.url(archive));
  runTask(runtime.install(status.callback()));
  EXPECT_TRUE(runtime.isInstalled());
  EXPECT_EQ(clock->waits(), std::vector<double>{1.5});
  const auto requests = server.requests(archive);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[1].header("range").starts_with("bytes=")) << requests[1].header("range");

  const fs::path installed = dir / "state/runtime/qh-wine-test-1/qh-wine-test-1";
  EXPECT_EQ(fs::read_symlink(installed / "Frameworks/libMoltenVK.dylib"), "libMoltenVK.1.dylib");
  EXPECT_EQ(runtime.dxvkSource(), installed / "dxvk/d3d9.dll");
  EXPECT_EQ(runtime.libraryDir(), installed / "Frameworks");
  EXPECT_EQ(runtime.wine(), installed / "wswine.bundle/bin/wine");
  EXPECT_FALSE(fs::exists(dir / "state/runtime/qh-wine-test-1.tar.xz"));
}

TEST_F(RuntimeArchiveTest, ChecksumMismatchFailsAllFourAttempts) {
  RuntimeArchive::publish(tree, "qh-wine-test-1", out, buildOs);
  std::string text = slurp(out / osLayout().runtimeDescription);
  const auto at = text.find("wine_sha256=") + 12;
  text.replace(at, 64, std::string(64, '0'));
  TestServer server;
  server.serveFolder(out);
  server.setFile("/" + osLayout().runtimeDescription, text);
  Runtime runtime = runtimeAgainst(server);
  runTask(runtime.resolveSpec());
  EXPECT_THROW(runTask(runtime.install(status.callback())), NetError);
  EXPECT_EQ(clock->waits(), (std::vector<double>{1.5, 3.0, 4.5, 6.0}));
  EXPECT_EQ(server.requests("/" + osLayout().runtimeArchive("qh-wine-test-1")).size(), 4u);
  EXPECT_FALSE(runtime.isInstalled());
}

// qh-publish run once per platform fills one tree with both, each platform's
// files signed under their own names; a launcher trusting the key installs
// its own platform's runtime from it.
TEST_F(RuntimeArchiveTest, OneSignedTreeServesBothPlatforms) {
  const auto key = ReleaseSigning::SigningKey::generate();
  dir.write("key.pem", key.privatePem());
  dir.write("client/Wow.exe", "MZ");
  const fs::path bundle = dir / "build/Quellhaven Launcher.app";
  writeScript(bundle / "Contents/MacOS/quellhaven-launcher", "exit 0\n");
  // A platform it does not know publishes nothing.
  EXPECT_EQ(runTool(QH_PUBLISH, {(dir / "client").string(), out.string(), "--version", "1.0",
                                 "--platform", "windows"})
                .exitCode,
            2);
  EXPECT_FALSE(fs::exists(out));
  for (const char* platform : {"mac", "linux"}) {
    const ToolResult r = runTool(
        QH_PUBLISH, {(dir / "client").string(), out.string(), "--version", "1.0", "--platform",
                     platform, "--runtime-id", std::string("qh-wine-") + platform, "--runtime",
                     tree.string(), "--launcher-build", "7", "--launcher", bundle.string(),
                     "--sign-key", (dir / "key.pem").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  for (const Os os : {Os::macOS, Os::Linux}) {
    const OsLayout& layout = osLayout(os);
    const fs::path zip = out / layout.launcherArchive;
    EXPECT_EQ(slurp(out / layout.launcherVersion), "7\n");
    EXPECT_NO_THROW(Signature::check(
        trusting({key}),
        Signature::launcherMessage(layout.launcherArchive, 7,
                                   static_cast<int64_t>(fs::file_size(zip)), Hash::sha256(zip)),
        slurp(out / (layout.launcherArchive + ".sig"))))
        << layout.folder;
    EXPECT_NO_THROW(
        Signature::check(trusting({key}),
                         Signature::runtimeMessage(layout.runtimeDescription,
                                                   slurp(out / layout.runtimeDescription)),
                         slurp(out / (layout.runtimeDescription + ".sig"))))
        << layout.folder;
  }

  TestServer server;
  server.serveFolder(out);
  Timing timing;
  timing.clock = clock;
  Runtime runtime(Paths{server.url(), state, dir / "client", trusting({key})}, timing, network);
  runTask(runtime.resolveSpec());
  ASSERT_TRUE(runtime.spec());
  EXPECT_EQ(runtime.spec()->id, "qh-wine-" + osLayout().folder);
  runTask(runtime.install(status.callback()));
  EXPECT_TRUE(runtime.isInstalled());
}

}  // namespace

}  // namespace qh
