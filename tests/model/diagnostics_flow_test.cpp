// Tools > "Save diagnostics...": where the zip goes, what the status says,
// and that the window's state is left as it was.
#include <gtest/gtest.h>

#include <regex>

#include "model/diagnostics_flow.h"
#include "support/model_fixture.h"
#include "support/zip_entries.h"

namespace qh {

namespace {

namespace fs = std::filesystem;

class DiagnosticsFlowTest : public ModelFixture {
 protected:
  DiagnosticsFlowTest() { fakes.system.home = dir.path(); }

  // Runs the command to its end: the status says how it went.
  std::string saveAndWait() {
    model->saveDiagnostics();
    EXPECT_TRUE(spinUntil([&] {
      return model->status().startsWith("Saved") || model->status().startsWith("Couldn't");
    }));
    return model->status().toStdString();
  }
};

TEST_F(DiagnosticsFlowTest, SavesIntoTheFirstFolderThatTakesItShowsItAndSaysWhere) {
  fs::create_directories(dir / "Downloads");
  fakes.system.folders = {dir / "Desktop", dir / "Downloads"};
  writeFile(state / "launcher.log", "started by player\n");
  const Phase phase = model->phase();

  const std::string status = saveAndWait();
  std::smatch m;
  ASSERT_TRUE(std::regex_match(
      status, m,
      std::regex(R"(Saved diagnostics to ~/Downloads/(Quellhaven-diagnostics-\d{8}-\d{6}\.zip))")))
      << status;
  const fs::path zip = dir / "Downloads" / m[1].str();
  EXPECT_EQ(fakes.system.revealed, std::vector<fs::path>{zip});
  EXPECT_EQ(zipEntry(zipEntries(zip), "launcher.log"), "started by <user>\n");
  EXPECT_EQ(model->phase(), phase);
  EXPECT_EQ(statuses.front(), "Saving diagnostics...");
}

TEST_F(DiagnosticsFlowTest, AFolderThatTakesNothingEndsInAStatusThatSaysWhy) {
  fakes.system.folders = {dir / "Desktop"};
  EXPECT_EQ(saveAndWait(), "Couldn't save diagnostics to ~/Desktop: No such file or directory");
  EXPECT_TRUE(fakes.system.revealed.empty());
  EXPECT_NE(logText().find("Couldn't save diagnostics to ~/Desktop"), std::string::npos);

  fakes.system.folders = {};
  EXPECT_EQ(saveAndWait(), "Couldn't save diagnostics: there is no folder to save it in");
}

TEST(DiagnosticsPaths, TheHomeFolderIsWrittenTilde) {
  EXPECT_EQ(homeRelative("/home/al/Desktop/x.zip", "/home/al"), "~/Desktop/x.zip");
  EXPECT_EQ(homeRelative("/home/al", "/home/al"), "~");
  EXPECT_EQ(homeRelative("/home/alice/x.zip", "/home/al"), "/home/alice/x.zip");
  EXPECT_EQ(homeRelative("/tmp/x.zip", "/home/al"), "/tmp/x.zip");
}

}  // namespace

}  // namespace qh
