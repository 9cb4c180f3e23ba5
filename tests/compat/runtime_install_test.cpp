#include <gtest/gtest.h>

#include "compat/runtime.h"
#include "compat_support.h"
#include "support/client_folder.h"

namespace {

using namespace compat_test;

const std::string kDownloading = "Downloading the Mac compatibility layer (one time)...";
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
    writeScript(dir / "tree/rt/bin/wine", "exit 0\n");
    dir.write("tree/rt/lib/libwine.dylib", "lib");
    net->archiveSource = packTree(dir / "tree", dir / "source.tar.xz");
  }
  void install(Runtime& runtime) { runTask(runtime.install(status.callback())); }
};

TEST_F(RuntimeInstallTest, InstallsMarksAndRemovesEverythingElse) {
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
  ASSERT_EQ(net->calls.size(), 1u);
  EXPECT_EQ(net->calls[0].url, "https://cdn.example/rt-1.tar.xz");
  EXPECT_EQ(net->calls[0].to, state / "runtime/rt-1.tar.xz");
  EXPECT_EQ(net->calls[0].size, 4 * 1048576);
  EXPECT_EQ(net->calls[0].sha256, std::nullopt);
  EXPECT_EQ(status.all(), (std::vector<StatusLog::Report>{
                              {kDownloading, 0.0},
                              {kDownloading + "  1 / 4 MB", 0.25},
                              {kDownloading + "  4 / 4 MB", 1.0},
                              {kUnpacking, std::nullopt},
                          }));
  EXPECT_TRUE(clock->waits().empty());
}

TEST_F(RuntimeInstallTest, UnknownSizeReportsNoTotalAndNoFraction) {
  archiveWithWine();
  Runtime runtime = make(-1);
  net->progressReports = {3 * 1048576 / 2};
  install(runtime);
  EXPECT_EQ(status.all(), (std::vector<StatusLog::Report>{
                              {kDownloading, 0.0},
                              {kDownloading + "  2 / 0 MB", std::nullopt},
                              {kUnpacking, std::nullopt},
                          }));
}

TEST_F(RuntimeInstallTest, InstalledRuntimeIsLeftAloneWithoutReports) {
  archiveWithWine();
  Runtime runtime = make();
  install(runtime);
  const auto before = net->calls.size();
  const auto reports = status.all().size();
  install(runtime);
  EXPECT_EQ(net->calls.size(), before);
  EXPECT_EQ(status.all().size(), reports);
}

TEST_F(RuntimeInstallTest, MarkerWithoutExecutableWineInstallsAgain) {
  archiveWithWine();
  Runtime runtime = make();
  install(runtime);
  fs::permissions(*runtime.wine(), fs::perms::owner_read);
  EXPECT_FALSE(runtime.isInstalled());
  install(runtime);
  EXPECT_TRUE(runtime.isInstalled());
  EXPECT_EQ(net->calls.size(), 2u);
}

TEST_F(RuntimeInstallTest, FourFailuresAreLoggedWaitedForAndTheLastThrown) {
  Runtime runtime = make();
  net->outcomes = {"fail one", "fail two", "fail three", "fail four"};
  try {
    install(runtime);
    FAIL() << "no error";
  } catch (const NetError& e) {
    EXPECT_STREQ(e.what(), "fail four");
  }
  EXPECT_EQ(clock->waits(), (std::vector<double>{1.5, 3.0, 4.5, 6.0}));
  const std::string log = slurp(dir / "launcher.log");
  for (int n = 1; n <= 4; ++n) {
    const char* words[] = {"one", "two", "three", "four"};
    EXPECT_NE(
        log.find("runtime download attempt " + std::to_string(n) + ": fail " + words[n - 1] + "\n"),
        std::string::npos)
        << log;
  }
  EXPECT_FALSE(runtime.isInstalled());
}

TEST_F(RuntimeInstallTest, SucceedsOnTheThirdAttempt) {
  archiveWithWine();
  Runtime runtime = make();
  net->outcomes = {"dropped", "dropped", std::nullopt};
  install(runtime);
  EXPECT_TRUE(runtime.isInstalled());
  EXPECT_EQ(clock->waits(), (std::vector<double>{1.5, 3.0}));
  const std::string log = slurp(dir / "launcher.log");
  EXPECT_NE(log.find("runtime download attempt 2: dropped"), std::string::npos);
  EXPECT_EQ(log.find("runtime download attempt 3"), std::string::npos);
}

TEST_F(RuntimeInstallTest, CorruptArchiveFailsWithTarsStatusAndStays) {
  net->archiveSource = dir.write("garbage.tar.xz", std::string(4096, '\x5a'));
  Runtime runtime = make();
  try {
    install(runtime);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.kind(), RuntimeError::Kind::extractFailed);
    EXPECT_EQ(e.status(), 2);
    EXPECT_STREQ(e.what(), "Unpacking the compatibility layer failed (tar exit 2).");
  }
  EXPECT_TRUE(fs::exists(*runtime.archive()));
  EXPECT_FALSE(runtime.isInstalled());
}

TEST_F(RuntimeInstallTest, ArchiveWithoutWineNamesTheRelativePath) {
  dir.write("tree/other/readme.txt", "no wine here");
  net->archiveSource = packTree(dir / "tree", dir / "source.tar.xz");
  Runtime runtime = make(-1, "qh-wine-cx23.7.1-2/wswine.bundle/bin/wine");
  try {
    install(runtime);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.kind(), RuntimeError::Kind::missingBinary);
    EXPECT_STREQ(
        e.what(),
        "The compatibility layer is incomplete (missing "
        "qh-wine-cx23.7.1-2/wswine.bundle/bin/wine). Use Tools > Reset compatibility layer.");
  }
  EXPECT_TRUE(fs::exists(state / "runtime/rt-1/other/readme.txt"));
  EXPECT_FALSE(fs::exists(state / "runtime/rt-1/.qh_complete"));
}

TEST_F(RuntimeInstallTest, NonExecutableWineIsMissing) {
  dir.write("tree/rt/bin/wine", "not executable");
  net->archiveSource = packTree(dir / "tree", dir / "source.tar.xz");
  Runtime runtime = make();
  EXPECT_THROW(install(runtime), RuntimeError);
}

TEST_F(RuntimeInstallTest, RuntimesFolderThatCannotBeMadeIsThrown) {
  dir.write("state/runtime", "a file in the way");
  Runtime runtime = make();
  EXPECT_THROW(install(runtime), fs::filesystem_error);
  EXPECT_TRUE(net->calls.empty());
}

TEST_F(RuntimeInstallTest, WithoutADescriptionNothingIsInstalledOrPrepared) {
  // The server does not answer, and the built-in one cannot be placed below that base.
  Runtime runtime = resolved(std::nullopt, "not a url");
  EXPECT_FALSE(runtime.spec());
  install(runtime);
  runTask(runtime.preparePrefix(status.callback()));
  EXPECT_TRUE(status.all().empty());
  EXPECT_TRUE(net->calls.empty());
  EXPECT_FALSE(fs::exists(runtime.prefixDir()));
}

TEST_F(RuntimeInstallTest, AWineThatLinksOutOfTheRuntimeIsNeverRun) {
  writeScript(dir / "outside/wine", "echo ran > \"$(dirname \"$0\")/ran\"\n");
  net->archiveSource = dir.write(
      "linked.tar.xz", tarBytes({{"rt/bin/wine", '2', "", (dir / "outside/wine").string()},
                                 {"rt/lib/libwine.dylib", '0', "lib"}}));
  Runtime runtime = make();
  try {
    install(runtime);
    ADD_FAILURE() << "a wine outside the runtime was accepted";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.kind(), RuntimeError::Kind::missingBinary);
  }
  EXPECT_FALSE(runtime.isInstalled());
  EXPECT_FALSE(fs::exists(dir / "outside/ran"));
}

// --- archives that try to write outside the runtime folder ---

struct HostileCase {
  const char* name;
  std::vector<TarEntry> (*entries)(const fs::path& outside);
};

class HostileArchiveTest : public RuntimeInstallTest,
                           public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileArchiveTest, WritesNothingOutsideTheRuntimeFolder) {
  const fs::path outside = dir / "outside";
  fs::create_directories(outside);
  dir.write("outside/existing.txt", "precious");
  auto entries = GetParam().entries(outside);
  entries.push_back({"rt/bin/wine", '0', "#!/bin/sh\n", "", 0755});
  net->archiveSource = dir.write("hostile.tar.xz", tarBytes(entries));
  Runtime runtime = make();
  try {
    install(runtime);
  } catch (const RuntimeError&) {
    // Refusing the archive is one right answer; writing outside is never one.
  }
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(outside))
    names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"existing.txt"});
  EXPECT_EQ(slurp(outside / "existing.txt"), "precious");
  EXPECT_FALSE(fs::exists(state / "escaped.txt"));
  EXPECT_FALSE(fs::exists(state / "runtime" / "escaped.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Archives, HostileArchiveTest,
    ::testing::Values(
        HostileCase{"absolutePath",
                    [](const fs::path& out) {
                      return std::vector<TarEntry>{{(out / "abs.txt").string(), '0', "x"}};
                    }},
        HostileCase{"dotDot",
                    [](const fs::path&) {
                      return std::vector<TarEntry>{{"../escaped.txt", '0', "x"},
                                                   {"rt/../../../escaped.txt", '0', "x"}};
                    }},
        HostileCase{"symlinkThenWriteThrough",
                    [](const fs::path& out) {
                      return std::vector<TarEntry>{{"door", '2', "", out.string()},
                                                   {"door/planted.txt", '0', "x"}};
                    }},
        HostileCase{"relativeSymlinkThenWriteThrough",
                    [](const fs::path&) {
                      return std::vector<TarEntry>{{"door", '2', "", "../../../outside"},
                                                   {"door/planted.txt", '0', "x"}};
                    }},
        HostileCase{"symlinkThenOverwriteTarget",
                    [](const fs::path& out) {
                      return std::vector<TarEntry>{
                          {"link", '2', "", (out / "existing.txt").string()},
                          {"link", '0', "overwritten"}};
                    }},
        HostileCase{"hardLinkToOutside",
                    [](const fs::path& out) {
                      return std::vector<TarEntry>{
                          {"hard", '1', "", (out / "existing.txt").string()},
                          {"hard", '0', "overwritten"}};
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
