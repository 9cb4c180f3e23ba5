#include <gtest/gtest.h>
#include <sys/stat.h>

#include "compat/runtime.h"
#include "compat_support.h"

namespace qh {

namespace {

using namespace compat_test;

const std::string kPreparing = "Setting up the Windows environment (first run takes a minute)...";

// Stub wine and wineserver that append "<program> <args>" to calls.txt and
// their WINEPREFIX and WINEDEBUG to env.txt, say something on both streams,
// and end with the chosen status (wineboot also makes the prefix's folders).
class RuntimePrefixTest : public RuntimeFixture {
 protected:
  Runtime make(int winebootStatus = 0, bool withDxvk = false) {
    const std::string record =
        "printf '%s' \"$(basename \"$0\")\" >> '" + calls().string() +
        "'\nfor a in \"$@\"; do printf ' %s' \"$a\" >> '" + calls().string() +
        "'; done\necho >> '" + calls().string() +
        "'\nprintf '%s|%s\\n' \"$WINEPREFIX\" "
        "\"$WINEDEBUG\" >> '" +
        (dir / "env.txt").string() +
        "'\necho \"out $(basename \"$0\") $1\"\necho \"err $(basename \"$0\") $1\" >&2\n";
    writeScript(bin / "wine", record +
                                  "if [ \"$1\" = wineboot ]; then mkdir -p "
                                  "\"$WINEPREFIX/drive_c/windows/syswow64\"; exit " +
                                  std::to_string(winebootStatus) + "; fi\nexit 0\n");
    writeScript(bin / "wineserver", record + "exit 0\n");
    return resolved(
        "wine_id=rt-2\nwine_url=https://cdn.example/rt-2.tar.xz\nwine_sha256=\n"
        "wine_bin=rt/bin/wine\n" +
        std::string(withDxvk ? "dxvk_dll=rt/dxvk/d3d9.dll\n" : ""));
  }
  fs::path calls() const { return dir / "calls.txt"; }
  void prepare(Runtime& runtime) { runTask(runtime.preparePrefix(status.callback())); }

  fs::path bin = state / "runtime/rt-2/rt/bin";
};

// A prefix folder without the marker is an unfinished one: prepared again,
// keeping what it holds. Those of other runtimes go (which names count as
// prefixes: play_tools_test's reset).
TEST_F(RuntimePrefixTest, PreparesInOrderImportsTheRegistryMarksAndRemovesOldPrefixes) {
  dir.write("state/wine.log", "earlier\n");
  dir.write("state/prefix-rt-2/drive_c/keep.txt", "kept");
  dir.write("state/prefix-old-id/user.reg", "x");
  Runtime runtime = make();
  prepare(runtime);
  const fs::path reg = state / "qh_prefix.reg";
  EXPECT_EQ(slurp(calls()), "wine wineboot --init\nwineserver -w\nwine regedit /S " +
                                Runtime::windowsPath(reg) + "\nwineserver -w\n");
  const std::string prefix = (state / "prefix-rt-2").string();
  EXPECT_EQ(slurp(dir / "env.txt"),
            prefix + "|-all\n" + prefix + "|-all\n" + prefix + "|-all\n" + prefix + "|-all\n");
  // What it holds is checked where a real Wine imports it (wine_e2e_test).
  EXPECT_TRUE(slurp(reg).starts_with("REGEDIT4\r\n"));
  EXPECT_TRUE(runtime.prefixReady());
  EXPECT_EQ(slurp(state / "prefix-rt-2/.qh_prefix_rt-2"), "");
  EXPECT_EQ(slurp(state / "prefix-rt-2/drive_c/keep.txt"), "kept");
  EXPECT_FALSE(fs::exists(state / "prefix-old-id"));
  EXPECT_EQ(status.all(), (std::vector<StatusLog::Report>{{kPreparing, std::nullopt}}));
  EXPECT_EQ(slurp(state / "wine.log"),
            "earlier\nout wine wineboot\nerr wine wineboot\nout wineserver -w\nerr wineserver -w\n"
            "out wine regedit\nerr wine regedit\nout wineserver -w\nerr wineserver -w\n");
}

TEST_F(RuntimePrefixTest, FailuresLeaveNoMarker) {
  Runtime runtime = make();
  // A folder where the registry file goes: it cannot be written.
  dir.write("state/qh_prefix.reg/held", "");
  EXPECT_THROW(prepare(runtime), std::system_error);
  fs::remove_all(state / "qh_prefix.reg");
  EXPECT_FALSE(runtime.prefixReady());
  EXPECT_EQ(slurp(calls()), "wine wineboot --init\nwineserver -w\n");

  fs::remove(calls());
  Runtime failing = make(1);
  try {
    prepare(failing);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.kind(), RuntimeError::Kind::wineboot);
    EXPECT_EQ(e.status(), 1);
  }
  EXPECT_EQ(slurp(calls()), "wine wineboot --init\nwineserver -w\n");
  EXPECT_FALSE(fs::exists(state / "qh_prefix.reg"));
  EXPECT_FALSE(failing.prefixReady());

  // A wine that cannot start at all is wineboot's -1.
  fs::permissions(bin / "wine", fs::perms::owner_read);
  try {
    prepare(failing);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(),
                 "Setting up the Windows environment failed (wineboot exit -1). See wine.log in "
                 "Tools > Open logs.");
  }
}

// --- the copies made before each launch ---

// DXVK is put in only where it can work: named, present and a prefix with its
// syswow64 folder; otherwise the game runs on Wine's own d3d9.
TEST_F(RuntimePrefixTest, DxvkNeedsItsSourceAndThePrefixAndReplacesWinesOwn) {
  EXPECT_FALSE(make().installDxvk());
  Runtime runtime = make(0, true);  // named, but no file there
  EXPECT_FALSE(runtime.installDxvk());
  dir.write("state/runtime/rt-2/rt/dxvk/d3d9.dll", "dxvk v1");
  EXPECT_FALSE(runtime.installDxvk());
  prepare(runtime);
  const fs::path target = state / "prefix-rt-2/drive_c/windows/syswow64/d3d9.dll";
  dir.write("state/prefix-rt-2/drive_c/windows/syswow64/d3d9.dll", "wine's own d3d9");
  EXPECT_TRUE(runtime.installDxvk());
  EXPECT_EQ(slurp(target), "dxvk v1");
}

// A launcher update brings a new shim; the client's old copy must not stay.
TEST_F(RuntimePrefixTest, TheShimReplacesAnOlderCopy) {
  Runtime runtime = make();
  dir.write("client/version.dll", "MZ old");
  runtime.installShim(dir.write("bundle/shim/version.dll", "MZ shim"));
  EXPECT_EQ(slurp(dir / "client/version.dll"), "MZ shim");
}

}  // namespace

}  // namespace qh
