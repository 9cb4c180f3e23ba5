#include <gtest/gtest.h>

#include "compat/runtime.h"
#include "compat_support.h"
#include "core/os_layout.h"
#include "support/client_folder.h"

namespace qh {

namespace {

using namespace compat_test;

const std::string kDownloading =
    "Downloading the " + osLayout().layerName + " compatibility layer (one time)...";
const std::string kUnpacking = "Unpacking the compatibility layer...";

class RuntimeInstallTest : public RuntimeFixture {
 protected:
  // A runtime whose description has `size` and names `wineBin`.
  Runtime make(int64_t size = -1, const std::string& wineBin = "rt/bin/wine") {
    return resolved(
        "wine_id=rt-1\nwine_url=https://cdn.example/rt-1.tar.xz\nwine_sha256=\nwine_bin=" +
        wineBin + "\nwine_size=" + std::to_string(size) + "\n");
  }
  // The usual archive: an executable wine and a library.
  void archiveWithWine() {
    net->archiveSource =
        dir.write("source.tar", tarBytes({{"rt/bin/wine", '0', "#!/bin/sh\nexit 0\n", "", 0755},
                                          {"rt/lib/libwine.dylib", '0', "lib"}}));
  }
  void install(Runtime& runtime) { runTask(runtime.install(status.callback())); }
};

TEST_F(RuntimeInstallTest, InstallsMarksRemovesEverythingElseAndRepairsALostWine) {
  archiveWithWine();
  dir.write("state/runtime/old-runtime/bin/wine", "old");
  dir.write("state/runtime/old-runtime.tar.xz", "stale");
  Runtime runtime = make(4 * 1048576);
  net->progressReports = {1048576, 4 * 1048576};
  install(runtime);

  EXPECT_TRUE(runtime.isInstalled());
  EXPECT_EQ(namesIn(state / "runtime"), std::set<std::string>{"rt-1"});
  EXPECT_EQ(slurp(state / "runtime/rt-1/.qh_complete"), "rt-1");
  EXPECT_EQ(slurp(state / "runtime/rt-1/rt/lib/libwine.dylib"), "lib");
  ASSERT_EQ(net->fetches.size(), 1u);
  EXPECT_EQ(net->fetches[0].url, "https://cdn.example/rt-1.tar.xz");
  EXPECT_EQ(net->fetches[0].to, state / "runtime/rt-1.tar.xz");
  EXPECT_EQ(net->fetches[0].size, 4 * 1048576);
  EXPECT_EQ(net->fetches[0].sha256, std::nullopt);
  EXPECT_EQ(status.all(), (std::vector<StatusLog::Report>{
                              {kDownloading, 0.0},
                              {kDownloading + "  1 / 4 MB", 0.25},
                              {kDownloading + "  4 / 4 MB", 1.0},
                              {kUnpacking, std::nullopt},
                          }));
  EXPECT_TRUE(clock->waits().empty());

  // Installed: left alone, until its wine can no longer run.
  install(runtime);
  EXPECT_EQ(net->fetches.size(), 1u);
  EXPECT_EQ(status.all().size(), 4u);
  fs::permissions(*runtime.wine(), fs::perms::owner_read);
  EXPECT_FALSE(runtime.isInstalled());
  install(runtime);
  EXPECT_TRUE(runtime.isInstalled());
  EXPECT_EQ(net->fetches.size(), 2u);
}

// Retries, their waits and the checksum: compat_publish_test, over the real
// downloader (a drop, then four checksum mismatches).

// A broken archive fails with its reason and is not marked installed; a
// wine that links out of the runtime is never run.
struct BrokenCase {
  const char* name;
  std::optional<std::vector<TarEntry>> entries;  // none: bytes that are no archive
  std::string message;
};

class BrokenArchiveTest : public RuntimeInstallTest,
                          public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenArchiveTest, FailsWithItsReasonUnmarked) {
  writeScript(dir / "outside/wine", "echo ran > \"$(dirname \"$0\")/ran\"\n");
  auto entries = GetParam().entries;
  if (entries && (*entries)[0].link == "@") (*entries)[0].link = (dir / "outside/wine").string();
  net->archiveSource =
      dir.write("source.tar", entries ? tarBytes(*entries) : std::string(4096, '\x5a'));
  Runtime runtime = make();
  try {
    install(runtime);
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.what(), GetParam().message);
  }
  EXPECT_FALSE(runtime.isInstalled());
  EXPECT_FALSE(fs::exists(state / "runtime/rt-1/.qh_complete"));
  EXPECT_FALSE(fs::exists(dir / "outside/ran"));
}

const std::string kIncomplete =
    "The compatibility layer is incomplete (missing rt/bin/wine). Use Tools > Reset "
    "compatibility layer.";

INSTANTIATE_TEST_SUITE_P(
    Archives, BrokenArchiveTest,
    ::testing::Values(
        BrokenCase{"corrupt", std::nullopt,
                   "Unpacking the compatibility layer failed (tar exit 2)."},
        BrokenCase{"withoutWine", {{{"other/readme.txt", '0', "no wine here"}}}, kIncomplete},
        BrokenCase{"wineLinksOut", {{{"rt/bin/wine", '2', "", "@"}}}, kIncomplete},
        BrokenCase{"wineNotExecutable", {{{"rt/bin/wine", '0', "#!/bin/sh\n"}}}, kIncomplete}),
    [](const auto& info) { return std::string(info.param.name); });

// --- archives that try to write outside the runtime folder ---

struct HostileCase {
  const char* name;
  std::vector<TarEntry> entries;  // "@" in a name or link stands for the outside folder
};

class HostileArchiveTest : public RuntimeInstallTest,
                           public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileArchiveTest, WritesNothingOutsideTheRuntimeFolder) {
  const fs::path outside = dir / "outside";
  dir.write("outside/existing.txt", "precious");
  auto entries = GetParam().entries;
  for (TarEntry& e : entries) {
    for (std::string* s : {&e.name, &e.link}) {
      if (s->starts_with("@")) s->replace(0, 1, outside.string());
    }
  }
  entries.push_back({"rt/bin/wine", '0', "#!/bin/sh\n", "", 0755});
  net->archiveSource = dir.write("hostile.tar.xz", tarBytes(entries));
  Runtime runtime = make();
  try {
    install(runtime);
  } catch (const RuntimeError&) {
    // Refusing the archive is one right answer; writing outside is never one.
  }
  EXPECT_EQ(namesIn(outside), std::set<std::string>{"existing.txt"});
  EXPECT_EQ(slurp(outside / "existing.txt"), "precious");
  EXPECT_FALSE(fs::exists(state / "escaped.txt"));
  EXPECT_FALSE(fs::exists(state / "runtime" / "escaped.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Archives, HostileArchiveTest,
    ::testing::Values(
        HostileCase{"absolutePath", {{"@/abs.txt", '0', "x"}}},
        HostileCase{"dotDot",
                    {{"../escaped.txt", '0', "x"}, {"rt/../../../escaped.txt", '0', "x"}}},
        HostileCase{"symlinkThenWriteThrough", {{"door", '2', "", "@"}, {"door/planted.txt", '0'}}},
        HostileCase{"relativeSymlinkThenWriteThrough",
                    {{"door", '2', "", "../../../outside"}, {"door/planted.txt", '0'}}},
        HostileCase{"symlinkThenOverwriteTarget",
                    {{"link", '2', "", "@/existing.txt"}, {"link", '0', "overwritten"}}},
        HostileCase{"hardLinkToOutside",
                    {{"hard", '1', "", "@/existing.txt"}, {"hard", '0', "overwritten"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
