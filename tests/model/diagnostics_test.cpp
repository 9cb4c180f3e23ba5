// The diagnostics zip as support receives it: which files it holds, each at
// most its last 5 MB, and nothing in it that names the player.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <regex>
#include <system_error>

#include "core/os_layout.h"
#include "core/text.h"
#include "model/diagnostics.h"
#include "support/file_size_limit.h"
#include "support/read_only_folder.h"
#include "support/temp_dir.h"
#include "support/tree_of.h"
#include "support/zip_entries.h"

namespace qh {

namespace {

namespace fs = std::filesystem;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  for (size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
    lines.push_back(text.substr(from, nl - from));
  return lines;
}

class DiagnosticsTest : public ::testing::Test {
 protected:
  Diagnostics::Input input() const {
    Diagnostics::Input in{Paths{"http://127.0.0.1:9", state, client}, home, user,
                          "not needed (not an Apple Silicon Mac)", std::nullopt};
    in.when = std::chrono::system_clock::from_time_t(1796000000);
    return in;
  }

  // A text that names the player the ways files do: the home folder, the
  // name in a Windows path in another letter case, the name on its own.
  std::string planted(const std::string& what) const {
    return what + " at " + (home / "Games").string() +
           "/x\nZ:\\home\\MALLORY\\drive_c\nby Mallory.\n";
  }

  // Every file the zip collects, each naming the player.
  void plantEverything() {
    for (const fs::path& file :
         {state / "launcher.log", state / "download_errors.log", state / "wine.log",
          state / "prefix-stub/.qh_prefix_stub", client / "WTF/Config.wtf",
          client / "Data/enUS/realmlist.wtf", client / "WTF/SavedVariables/QuellhavenIntegrity.lua",
          client / "Logs/client.log", client / "Logs/shim/qhshim.log"})
      writeFile(file, planted(file.filename().string()));
    writeFile(state / "runtime.txt",
              "# made for mallory\nwine_id=stub\nwine_url=runtime/stub.tar.xz\nwine_sha256=\n"
              "wine_bin=bin/wine\n");
    writeFile(state / "last_comparison.txt",
              "2026-12-07 10:00:00 UTC: 2 file(s) "
              "different\nData/a.MPQ\nInterface/AddOns/Mallory/x.lua\n");
    // The newest log first in the zip.
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(client / "Logs/shim/qhshim.log", now - std::chrono::hours(2));
    fs::last_write_time(client / "Logs/client.log", now - std::chrono::hours(1));
  }

  Diagnostics::Saved save() { return Diagnostics::write(input(), zip); }

  TempDir dir;
  fs::path home = dir / "home/mallory";
  std::string user = "mallory";
  fs::path state = home / ".local/share/Quellhaven";
  fs::path client = home / "Games/Quellhaven";
  fs::path zip = dir / "out.zip";
};

TEST_F(DiagnosticsTest, TheZipHoldsEveryCollectedFileAndNothingNamesThePlayer) {
  plantEverything();
  const auto stateBefore = treeOf(state);
  const auto clientBefore = treeOf(client);

  const Diagnostics::Saved saved = save();
  const ZipEntries entries = zipEntries(zip);
  const std::vector<std::string> expected = {"launcher.log",
                                             "download_errors.log",
                                             "wine.log",
                                             "runtime.txt",
                                             "prefix-stub/.qh_prefix_stub",
                                             "client/WTF/Config.wtf",
                                             "client/Data/enUS/realmlist.wtf",
                                             "client/WTF/SavedVariables/QuellhavenIntegrity.lua",
                                             "client/Logs/client.log",
                                             "client/Logs/shim/qhshim.log",
                                             "system.txt"};
  EXPECT_EQ(zipNames(entries), expected);
  EXPECT_EQ(saved.entries, expected);
  EXPECT_TRUE(saved.leftOut.empty());

  for (const auto& [name, bytes] : entries) {
    EXPECT_EQ(Text::lower(bytes).find("mallory"), std::string::npos) << name << ":\n" << bytes;
    EXPECT_EQ(bytes.find(dir.path().string()), std::string::npos) << name;
  }
  EXPECT_EQ(zipEntry(entries, "wine.log"),
            "wine.log at ~/Games/x\nZ:\\home\\<user>\\drive_c\nby <user>.\n");
  EXPECT_EQ(zipEntry(entries, "runtime.txt"),
            "# made for <user>\nwine_id=stub\nwine_url=runtime/stub.tar.xz\nwine_sha256=\n"
            "wine_bin=bin/wine\n");

  const std::string system = zipEntry(entries, "system.txt");
  for (const char* line : {"Launcher: build 3 (QuellhavenMacLauncher/3)\n",
                           "Rosetta 2: not needed (not an Apple Silicon Mac)\n",
                           "Install folder: ~/Games/Quellhaven\n",
                           "Runtime: stub (cached description; not installed; prefix ready)\n",
                           "Download speed limit: Unlimited\n",
                           "Last comparison: 2026-12-07 10:00:00 UTC: 2 file(s) different\n"
                           "  Data/a.MPQ\n  Interface/AddOns/<user>/x.lua\n",
                           "Left out: nothing\n"})
    EXPECT_NE(system.find(line), std::string::npos) << line << "\n" << system;
  EXPECT_TRUE(std::regex_search(system, std::regex("\nFree space there: [0-9.]+ [KMGT]B \\(")))
      << system;

  EXPECT_EQ(treeOf(state), stateBefore);
  EXPECT_EQ(treeOf(client), clientBefore);
}

// Lines grow when a short name becomes "<user>": the cap holds after hiding.
TEST_F(DiagnosticsTest, EachFileIsItsLastFiveMegabytesFromALineStart) {
  user = "al";
  std::string big;
  for (int i = 0; big.size() < size_t{6} << 20; ++i)
    big += "entry " + std::to_string(1000000 + i) + " al\n";
  writeFile(state / "launcher.log", big);
  const std::string fits(Diagnostics::fileCap, 'x');
  writeFile(state / "wine.log", fits.substr(0, fits.size() - 1) + "\n");
  writeFile(client / "Logs/client.log", std::string(Diagnostics::fileCap + 10, 'y'));

  const Diagnostics::Saved saved = save();
  const ZipEntries entries = zipEntries(zip);

  const std::string log = zipEntry(entries, "launcher.log");
  const std::vector<std::string> bigLines = linesOf(big);
  const std::vector<std::string> kept = linesOf(log);
  const size_t redactedLine = std::string("entry 1000000 <user>\n").size();
  ASSERT_EQ(kept.size(), Diagnostics::fileCap / redactedLine);
  EXPECT_EQ(log.size(), kept.size() * redactedLine);
  EXPECT_EQ(kept.back(), "entry " + std::to_string(1000000 + bigLines.size() - 1) + " <user>");
  EXPECT_EQ(kept.front(),
            "entry " + std::to_string(1000000 + bigLines.size() - kept.size()) + " <user>");

  EXPECT_EQ(zipEntry(entries, "wine.log").size(), size_t(Diagnostics::fileCap));
  // One line longer than the cap: its end.
  EXPECT_EQ(zipEntry(entries, "client/Logs/client.log"), std::string(Diagnostics::fileCap, 'y'));

  const std::string system = zipEntry(entries, "system.txt");
  EXPECT_NE(system.find("  launcher.log: only its last lines; the file has 6.0 MB"),
            std::string::npos)
      << system;
  EXPECT_NE(system.find("  client/Logs/client.log: only its last lines"), std::string::npos);
  EXPECT_EQ(system.find("wine.log: only"), std::string::npos);
}

TEST_F(DiagnosticsTest, WithoutAnInstallEveryAbsenceIsSaidAndNothingIsCreated) {
  const Diagnostics::Saved saved = save();
  const ZipEntries entries = zipEntries(zip);
  EXPECT_EQ(zipNames(entries), std::vector<std::string>{"system.txt"});
  EXPECT_FALSE(fs::exists(state));
  EXPECT_FALSE(fs::exists(client));
  const std::string system = zipEntry(entries, "system.txt");
  for (const char* line :
       {"Install folder: ~/Games/Quellhaven (does not exist)\n",
        buildOs == Os::Linux ? "Runtime: system-wine (the system's Wine; "
                             : "Runtime: qh-wine-cx23.7.1-2 (built-in description; not installed; "
                               "no prefix yet)\n",
        "  launcher.log: not found\n", "  client/: the install folder does not exist\n",
        "Last comparison: none recorded\n"})
    EXPECT_NE(system.find(line), std::string::npos) << line << "\n" << system;
}

// A pipe in a log's place, a crash dump, a link out of the client folder: each
// left out with its reason, the rest saved.
TEST_F(DiagnosticsTest, WhatCannotBeReadSafelyIsLeftOutWithItsReason) {
  plantEverything();
  fs::remove(state / "wine.log");
  ASSERT_EQ(::mkfifo((state / "wine.log").c_str(), 0600), 0);
  writeFile(client / "Logs/crash.dmp", std::string("MDMP\0\0mallory", 13));
  writeFile(dir / "elsewhere/secret.log", "mallory's other file\n");
  fs::create_symlink(dir / "elsewhere/secret.log", client / "Logs/linked.log");
  fs::remove(client / "Data/enUS/realmlist.wtf");
  fs::create_directories(client / "Data/enUS/realmlist.wtf");

  const Diagnostics::Saved saved = save();
  const ZipEntries entries = zipEntries(zip);
  const std::vector<std::string> names = zipNames(entries);
  for (const char* gone : {"wine.log", "client/Logs/crash.dmp", "client/Logs/linked.log",
                           "client/Data/enUS/realmlist.wtf"})
    EXPECT_EQ(std::count(names.begin(), names.end(), gone), 0) << gone;
  EXPECT_EQ(std::count(names.begin(), names.end(), "client/Logs/client.log"), 1);

  const std::string system = zipEntry(entries, "system.txt");
  for (const char* line :
       {"  wine.log: not a regular file\n", "  client/Logs/crash.dmp: not a text file\n",
        "  client/Logs/linked.log: leads outside the client folder\n",
        "  client/Data/enUS/realmlist.wtf: not a regular file\n"})
    EXPECT_NE(system.find(line), std::string::npos) << line << "\n" << system;
  for (const auto& [name, bytes] : entries)
    EXPECT_EQ(Text::lower(bytes).find("mallory"), std::string::npos) << name;
}

TEST_F(DiagnosticsTest, AZipThatCannotBeWrittenFailsAndLeavesNoFileBehind) {
  plantEverything();
  fs::create_directories(dir / "desktop");
  {
    ReadOnlyFolder readOnly(dir / "desktop");
    ASSERT_TRUE(readOnly.done());
    zip = dir / "desktop/out.zip";
    EXPECT_THROW(save(), std::system_error);
  }
  EXPECT_TRUE(fs::is_empty(dir / "desktop"));

  zip = dir / "full/out.zip";
  fs::create_directories(dir / "full");
  {
    FileSizeLimit full(256);
    try {
      save();
      ADD_FAILURE() << "a full disk took the zip";
    } catch (const std::system_error& e) {
      EXPECT_NE(std::string(e.what()).find("out.zip"), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(fs::is_empty(dir / "full"));
}

}  // namespace

}  // namespace qh
