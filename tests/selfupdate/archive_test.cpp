// Unpacking launcher archives: the directory check before unpacking, the
// platform's measured unzip, and archives published by qh-publish.
#include <gtest/gtest.h>

#include "bundle_fixture.h"
#include "platform/platform.h"
#include "selfupdate/self_update.h"
#include "selfupdate/zip_guard.h"
#include "support/temp_dir.h"
#include "tools/publish/launcher_archive.h"
#include "zip_writer.h"

namespace fs = std::filesystem;

namespace {

struct GuardCase {
  const char* name;
  std::vector<ZipEntry> entries;
  bool accepted;
};

class ZipGuardTable : public ::testing::TestWithParam<GuardCase> {};

TEST_P(ZipGuardTable, DecidesFromTheDirectoryAlone) {
  TempDir dir;
  const auto zip = dir.write("a.zip", makeZip(GetParam().entries));
  const auto problem = ZipGuard::inspect(zip, SelfUpdate::maxUnpackedBytes).refused;
  EXPECT_EQ(!problem.has_value(), GetParam().accepted) << problem.value_or("accepted");
}

const uint32_t gib = 1u << 30;

INSTANTIATE_TEST_SUITE_P(
    Archives, ZipGuardTable,
    ::testing::Values(
        GuardCase{"plain", {zipFolder("A.app/"), zipFile("A.app/x", "1", 0100755)}, true},
        GuardCase{"link inside", {zipLink("A.app/cur", "x"), zipFile("A.app/x", "1")}, true},
        GuardCase{"absolute", {zipFile("/tmp/qh-evil", "x")}, false},
        GuardCase{"dot dot", {zipFile("A.app/../../evil", "x")}, false},
        GuardCase{"dot dot first", {zipFile("../evil", "x")}, false},
        GuardCase{"backslash dot dot", {zipFile("A.app\\..\\..\\evil", "x")}, false},
        GuardCase{"drive letter", {zipFile("C:/evil", "x")}, false},
        GuardCase{
            "through a link", {zipLink("A.app/l", "/tmp"), zipFile("A.app/l/evil", "x")}, false},
        GuardCase{"declared over 2 GiB",
                  {zipClaiming("a", gib), zipClaiming("b", gib), zipClaiming("c", 1)},
                  false},
        GuardCase{"declared exactly 2 GiB", {zipClaiming("a", gib), zipClaiming("b", gib)}, true}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& c : n) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return n;
    });

std::optional<std::string> refusal(const fs::path& zip) {
  return ZipGuard::inspect(zip, SelfUpdate::maxUnpackedBytes).refused;
}

TEST(ZipGuard, WhatIsNotAZipIsRefusedAndFailsToUnzip) {
  TempDir dir;
  const auto text =
      dir.write("t.zip", "<html>404 not found, long enough to look for a record</html>");
  EXPECT_TRUE(refusal(text));
  EXPECT_TRUE(refusal(dir.write("e.zip", "")));
  EXPECT_TRUE(refusal(dir / "missing.zip"));
  // A valid end record pointing past the file's end.
  std::string cut = makeZip({zipFile("a", "hello")});
  cut.erase(10, 20);
  EXPECT_TRUE(refusal(dir.write("cut.zip", cut)));
  EXPECT_NE(platform::unzip(text, dir / "x", SelfUpdate::maxUnpackedBytes), 0);
  EXPECT_NE(platform::unzip(dir / "missing.zip", dir / "x", SelfUpdate::maxUnpackedBytes), 0);
}

TEST(ZipGuard, SumsWhatTheEntriesDeclare) {
  TempDir dir;
  const auto zip = dir.write(
      "a.zip", makeZip({zipFolder("A/"), zipFile("A/x", "12345"), zipClaiming("A/y", 1000)}));
  const auto inspection = ZipGuard::inspect(zip, SelfUpdate::maxUnpackedBytes);
  EXPECT_FALSE(inspection.refused);
  EXPECT_EQ(inspection.declaredBytes, 1005);
}

TEST(ZipGuard, UnpackedLinksMustStayInside) {
  TempDir dir;
  fs::create_directories(dir / "x/A.app/Contents");
  fs::create_directory_symlink("Contents", dir / "x/A.app/Current");
  EXPECT_FALSE(ZipGuard::checkUnpacked(dir / "x"));
  fs::create_symlink("../../../outside", dir / "x/A.app/Contents/up");
  EXPECT_TRUE(ZipGuard::checkUnpacked(dir / "x"));
  fs::remove(dir / "x/A.app/Contents/up");
  fs::create_symlink("/etc/passwd", dir / "x/A.app/abs");
  EXPECT_TRUE(ZipGuard::checkUnpacked(dir / "x"));
}

TEST(PlatformUnzip, NeverWritesOutsideEvenWithoutTheGuard) {
  TempDir dir;
  const fs::path outside = dir / "outside";
  const auto zip = dir.write(
      "a.zip", makeZip({zipFile("../outside", "escaped"), zipFile(outside.string(), "abs"),
                        zipLink("A.app/l", dir.path().string()), zipFile("A.app/l/outside", "via"),
                        zipFile("A.app/ok", "fine")}));
  const int rc = platform::unzip(zip, dir / "deep/x", SelfUpdate::maxUnpackedBytes);
  EXPECT_NE(rc, 0);
  EXPECT_FALSE(fs::exists(outside));
  EXPECT_FALSE(fs::exists(dir / "deep/outside"));
}

// The entry claims 1 KiB; its stream is 2 GiB and 1 MiB of zeros. Counting
// against what the directory declares stops the first pass at once, before
// anything is written.
TEST(PlatformUnzip, StopsAZipBombThatLiesAboutItsSize) {
  TempDir dir;
  const auto zip = dir.write("bomb.zip", makeZip({zipZeros("A.app/zeros", 2049, 1024)}));
  EXPECT_LT(fs::file_size(zip), 8u << 20);
  const auto inspection = ZipGuard::inspect(zip, SelfUpdate::maxUnpackedBytes);
  EXPECT_FALSE(inspection.refused);  // the directory lies
  EXPECT_EQ(platform::unzip(zip, dir / "x", inspection.declaredBytes), -1);
  EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST(PlatformUnzip, MeasuresAgainstTheGivenLimit) {
  TempDir dir;
  const auto zip = dir.write("z.zip", makeZip({zipZeros("z", 3, std::nullopt)}));
  EXPECT_EQ(platform::unzip(zip, dir / "x", (3 << 20) - 1), -1);
  EXPECT_FALSE(fs::exists(dir / "x"));
  EXPECT_EQ(platform::unzip(zip, dir / "y", 3 << 20), 0);
  EXPECT_EQ(fs::file_size(dir / "y/z"), 3u << 20);
}

TEST(Bundle, OpensOnlyFoldersWithTheirExecutable) {
  TempDir dir;
  const auto a = makeBundle(dir.path(), "A.app", "net.example.a", "a");
  auto info = platform::openBundle(a);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->identifier, "net.example.a");  // not the nested decoy
  EXPECT_EQ(info->executable, a / "Contents/MacOS/quellhaven-launcher");

  const auto b = makeBundle(dir.path(), "B.app", std::nullopt, "b");
  ASSERT_TRUE(platform::openBundle(b));
  EXPECT_FALSE(platform::openBundle(b)->identifier);  // nor the nested one
  // Without its executable: selfupdate_flow_test's InvalidBundles.
  fs::permissions(a / "Contents/MacOS/quellhaven-launcher", fs::perms::owner_read);
  // Root may execute files without any execute bit set only if some bit is set.
  EXPECT_FALSE(platform::openBundle(a));

  EXPECT_FALSE(platform::openBundle(dir / "missing.app"));
  EXPECT_FALSE(platform::openBundle(dir.write("file.app", "x")));
  const auto c = makeBundle(dir.path(), "C.app", "c", "c");
  dir.write("C.app/Contents/Info.plist", "<plist><dict><key>CFBundleExecutable</key>");
  EXPECT_FALSE(platform::openBundle(c));
}

// How the built bundle finds itself, its identifier and its executable is
// checked by selfupdate_launcher_test, which starts a copy of it.

TEST(LauncherArchive, PublishesTheBundleAtTheTopLevelWithModesAndLinks) {
  TempDir dir;
  const auto bundle = makeBundle(dir / "src", "Quellhaven Launcher.app", "net.example", "v4");
  LauncherArchive::publish(bundle.string() + "/", 4, dir / "www");
  EXPECT_EQ(slurp(dir / "www/mac/launcher_version.txt"), "4\n");
  const fs::path zip = dir / "www/mac/Quellhaven-mac.zip";
  const auto inspection = ZipGuard::inspect(zip, SelfUpdate::maxUnpackedBytes);
  EXPECT_FALSE(inspection.refused);
  ASSERT_EQ(platform::unzip(zip, dir / "x", inspection.declaredBytes), 0);
  std::vector<std::string> top;
  for (const auto& e : fs::directory_iterator(dir / "x")) top.push_back(e.path().filename());
  EXPECT_EQ(top, std::vector<std::string>{"Quellhaven Launcher.app"});
  EXPECT_EQ(treeOf(dir / "x/Quellhaven Launcher.app"), treeOf(bundle));
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "www/mac")) ++entries;
  EXPECT_EQ(entries, 2);  // no temporary left behind
}

TEST(LauncherArchive, RefusesWhatIsNoBundleAndWritesNothing) {
  TempDir dir;
  fs::create_directories(dir / "Plain");
  EXPECT_THROW(LauncherArchive::publish(dir / "Plain", 4, dir / "www"), std::runtime_error);
  EXPECT_THROW(LauncherArchive::publish(dir / "Missing.app", 4, dir / "www"), std::runtime_error);
  EXPECT_FALSE(fs::exists(dir / "www/mac/launcher_version.txt"));
  EXPECT_FALSE(fs::exists(dir / "www/mac/Quellhaven-mac.zip"));
}

}  // namespace
