// Where each platform's launcher finds its runtime and its own updates on the
// distribution server: the macOS paths stay exactly as published, Linux has
// a folder of its own, and this build asks for its own platform's files.
#include "core/os_layout.h"

#include <gtest/gtest.h>

namespace qh {

namespace {

TEST(OsLayout, EachPlatformHasItsOwnFolder) {
  const OsLayout& mac = osLayout(Os::macOS);
  EXPECT_EQ(mac.runtimeDescription, "mac/runtime.txt");
  EXPECT_EQ(mac.runtimeArchive("qh-wine-9"), "mac/runtime/qh-wine-9.tar.xz");
  EXPECT_EQ(mac.launcherArchive, "mac/Quellhaven-mac.zip");
  EXPECT_EQ(mac.launcherVersion, "mac/launcher_version.txt");
  EXPECT_EQ(mac.layerName, "Mac");

  const OsLayout& gnuLinux = osLayout(Os::Linux);
  EXPECT_EQ(gnuLinux.runtimeDescription, "linux/runtime.txt");
  EXPECT_EQ(gnuLinux.runtimeArchive("qh-wine-9"), "linux/runtime/qh-wine-9.tar.xz");
  EXPECT_EQ(gnuLinux.launcherArchive, "linux/Quellhaven-linux.zip");
  EXPECT_EQ(gnuLinux.launcherVersion, "linux/launcher_version.txt");
  EXPECT_EQ(gnuLinux.layerName, "Wine");

  EXPECT_EQ(osFromFolder("mac"), Os::macOS);
  EXPECT_EQ(osFromFolder("linux"), Os::Linux);
  for (const char* other : {"", "Linux", "macos", "mac/", "windows"}) {
    EXPECT_EQ(osFromFolder(other), std::nullopt) << other;
  }
}

TEST(OsLayout, ThisBuildAsksForItsOwnPlatformsFiles) {
#if defined(__APPLE__)
  EXPECT_EQ(buildOs, Os::macOS);
  EXPECT_EQ(osLayout().folder, "mac");
#elif defined(__linux__)
  EXPECT_EQ(buildOs, Os::Linux);
  EXPECT_EQ(osLayout().folder, "linux");
#endif
}

}  // namespace

}  // namespace qh
