// The small rules behind the window: the folder-panel choice, middle
// truncation and the saved frame.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QTextLayout>
#include <fstream>

#include "app/shell.h"
#include "model/launcher_model.h"
#include "support/temp_dir.h"
#include "ui/theme.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

struct ChoiceCase {
  const char* folder;
  const char* exe;  // placed in the folder first, or null
  const char* expected;
};

class FolderChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(FolderChoice, KeepsClientOrGameFoldersElseAddsASubfolder) {
  TempDir root;
  const ChoiceCase c = GetParam();
  const fs::path folder = root / c.folder;
  fs::create_directories(folder);
  if (c.exe) std::ofstream(folder / c.exe) << "MZ";
  EXPECT_EQ(LauncherModel::installDirForChoice(folder), root / c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FolderChoice,
    ::testing::Values(ChoiceCase{"Games", nullptr, "Games/Quellhaven"},
                      ChoiceCase{"QUELLHAVEN", nullptr, "QUELLHAVEN"},
                      ChoiceCase{"quellHaven", nullptr, "quellHaven"},
                      ChoiceCase{"Quellhaven2", nullptr, "Quellhaven2/Quellhaven"},
                      ChoiceCase{"old-client", "Wow.exe", "old-client"},
                      ChoiceCase{"new-client", "QuellhavenGame.exe", "new-client"},
                      ChoiceCase{"Games/", nullptr, "Games/Quellhaven"},
                      ChoiceCase{"Quellhaven/", nullptr, "Quellhaven/"}));

int linesOf(const QString& text, double width) {
  QFont font = QGuiApplication::font();
  font.setPixelSize(11);
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  int n = 0;
  for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine(), ++n)
    l.setLineWidth(width);
  layout.endLayout();
  return n;
}

TEST(ElideMiddle, KeepsShortTextAndCutsLongTextInTheMiddle) {
  EXPECT_EQ(Theme::elideMiddle("Version 3.3.5", 11, 300, 2), "Version 3.3.5");
  QString longText = "Mac compatibility layer failed: ";
  for (int i = 0; i < 40; ++i) longText += QString("segment%1 ").arg(i);
  longText += "Press PLAY to try again.";
  const QString cut = Theme::elideMiddle(longText, 11, 300, 2);
  EXPECT_LT(cut.size(), longText.size());
  EXPECT_TRUE(cut.startsWith("Mac compatibility layer failed"));
  EXPECT_TRUE(cut.endsWith("Press PLAY to try again."));
  EXPECT_TRUE(cut.contains(QChar(0x2026)));
  EXPECT_LE(linesOf(cut, 300), 2);
  // As long as possible: one more character would not fit.
  EXPECT_GT(linesOf(Theme::elideMiddle(longText, 11, 300, 3), 300), 2);
}

TEST(InitialFrame, RestoresClampsOrCentres) {
  const QRect screen(0, 0, 1920, 1080);
  EXPECT_EQ(Shell::initialFrame(std::nullopt, screen), QRect(510, 260, 900, 560));
  EXPECT_EQ(Shell::initialFrame(QRect(40, 60, 1000, 700), screen), QRect(40, 60, 1000, 700));
  EXPECT_EQ(Shell::initialFrame(QRect(40, 60, 2400, 300), screen), QRect(40, 60, 1500, 500));
  EXPECT_EQ(Shell::initialFrame(QRect(4000, 60, 900, 560), screen), QRect(510, 260, 900, 560));
  EXPECT_EQ(Shell::initialFrame(QRect(), screen), QRect(510, 260, 900, 560));
}

}  // namespace

}  // namespace qh
