// The small rules behind the window: the folder-panel choice, commands by
// name, middle truncation, the saved frame and the glow pictures.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QTextLayout>
#include <fstream>

#include "app/shell.h"
#include "model/launcher_model.h"
#include "support/temp_dir.h"
#include "ui/glow_images.h"
#include "ui/symbol_icon.h"
#include "ui/theme.h"

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

class ModelWindowCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("HOME", home.path().c_str(), 1);
  }
  TempDir home;
};

TEST_F(ModelWindowCommands, ChooseFolderSetsOnlyTheInstallPath) {
  LauncherModel model(ModelServices{});
  const fs::path before = model.paths().installDir;
  fs::create_directories(home / "Games");
  model.chooseFolder(QUrl::fromLocalFile(QString::fromStdString((home / "Games").string())));
  EXPECT_EQ(model.installPath().toStdString(), (home / "Games" / "Quellhaven").string());
  EXPECT_EQ(model.paths().installDir, before);
  model.chooseFolder(QUrl());  // a cancelled panel
  EXPECT_EQ(model.installPath().toStdString(), (home / "Games" / "Quellhaven").string());
}

TEST_F(ModelWindowCommands, RunCommandReportsAMissingCommand) {
  LauncherModel model(ModelServices{});
  EXPECT_FALSE(model.runCommand("noSuchCommand"));
  EXPECT_TRUE(model.runCommand("dismissAlert"));
  EXPECT_EQ(model.speedLabel(), "Unlimited");
  model.setSpeedStep(4);
  EXPECT_EQ(model.speedLabel(), "512 KB/s");
}

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

TEST(GlowImages, ShadowSpreadsBeyondTheShapeAndFades) {
  QImage mask(40, 20, QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::black);
  const QImage glow = GlowImages::shadow(mask, Theme::accent(), 16);
  ASSERT_EQ(glow.size(), QSize(40 + 64, 20 + 64));
  const int cy = glow.height() / 2;
  const int inside = qAlpha(glow.pixel(glow.width() / 2, cy));
  const int edge = qAlpha(glow.pixel(32, cy));
  const int beyond = qAlpha(glow.pixel(16, cy));
  const int corner = qAlpha(glow.pixel(0, 0));
  EXPECT_GT(inside, edge);
  EXPECT_GT(edge, beyond);
  EXPECT_GT(beyond, 0);
  EXPECT_EQ(corner, 0);
  // Colour is the accent, premultiplied.
  const QColor c = QColor::fromRgba(glow.pixel(glow.width() / 2, cy));
  EXPECT_NEAR(c.red() * 255.0 / inside, Theme::accent().red(), 3);
}

int colourDistance(QColor a, QColor b) {
  return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                   std::abs(a.blue() - b.blue())});
}

// The backdrop is the corner-to-corner gradient, with the tunnel picture over
// it only when that picture decodes.
TEST(GlowImages, BackdropShowsTheTunnelOnlyWhenItDecodes) {
  TempDir dir;
  const fs::path broken = dir / "tunnel.jpg";
  std::ofstream(broken) << "\xff\xd8\xff\xe0 not really a picture";
  const QImage plain = GlowImages(QUrl(), QUrl()).render("backdrop/300/200", {});
  ASSERT_EQ(plain.size(), QSize(300, 200));
  EXPECT_FALSE(plain.hasAlphaChannel());
  EXPECT_LE(colourDistance(plain.pixelColor(0, 0), Theme::bgTop()), 1);
  EXPECT_LE(colourDistance(plain.pixelColor(299, 199), Theme::bgBottom()), 1);
  // The other two corners share the middle colour.
  EXPECT_LE(colourDistance(plain.pixelColor(299, 0), plain.pixelColor(0, 199)), 1);

  const QUrl brokenUrl = QUrl::fromLocalFile(QString::fromStdString(broken.string()));
  EXPECT_EQ(GlowImages(QUrl(), brokenUrl).render("backdrop/300/200", {}), plain);

  const QUrl tunnel = QUrl::fromLocalFile(QStringLiteral(QH_RESOURCES "/tunnel.jpg"));
  const QImage withTunnel = GlowImages(QUrl(), tunnel).render("backdrop/300/200", {});
  ASSERT_EQ(withTunnel.size(), QSize(300, 200));
  int changed = 0;
  for (int y = 0; y < 200; y += 10)
    for (int x = 0; x < 300; x += 10)
      changed += colourDistance(withTunnel.pixelColor(x, y), plain.pixelColor(x, y)) > 2;
  EXPECT_GT(changed, 100) << "of 600 samples";
}

struct PathCase {
  const char* d;
  QRectF bounds;  // empty: the data is refused
};

class SymbolPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SymbolPath, ParsesTheCommandsTheIconsUse) {
  const PathCase c = GetParam();
  const QPainterPath path = SymbolIcon::parsePath(c.d);
  if (c.bounds.isEmpty()) {
    EXPECT_TRUE(path.isEmpty()) << c.d;
    return;
  }
  const QRectF b = path.boundingRect();
  EXPECT_NEAR(b.left(), c.bounds.left(), 0.05) << c.d;
  EXPECT_NEAR(b.top(), c.bounds.top(), 0.05) << c.d;
  EXPECT_NEAR(b.right(), c.bounds.right(), 0.05) << c.d;
  EXPECT_NEAR(b.bottom(), c.bounds.bottom(), 0.05) << c.d;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SymbolPath,
    ::testing::Values(PathCase{"M3 12 A9 9 0 1 0 21 12 A9 9 0 1 0 3 12 Z", QRectF(3, 3, 18, 18)},
                      // The small arc above the chord, then the large one below it.
                      PathCase{"M2 12 A10 10 0 0 1 22 12", QRectF(2, 2, 20, 10)},
                      PathCase{"M2 12 A10 10 0 1 0 22 12", QRectF(2, 12, 20, 10)},
                      // Radii too small to reach the end grow until they do.
                      PathCase{"M0 0 A1 1 0 0 1 10 0", QRectF(0, -5, 10, 5)},
                      PathCase{"M7 4.2 L19.8 12 L7 19.8 Z", QRectF(7, 4.2, 12.8, 15.6)},
                      PathCase{"m1 1 l2 0 v3 h-2 z", QRectF(1, 1, 2, 3)},
                      PathCase{"M1,1 2,2 3,1", QRectF(1, 1, 2, 1)},
                      PathCase{"M1 1 C 2 2 3 3 4 4", QRectF()}, PathCase{"L1 1", QRectF()},
                      PathCase{"M1 x", QRectF()}));

TEST(SymbolIcon, EverySymbolTheWindowNamesHasLayers) {
  for (const char* name :
       {"globe", "bubble.left.and.bubble.right", "wrench.and.screwdriver", "folder", "play.fill",
        "arrow.clockwise", "arrow.down.circle.fill", "arrow.triangle.2.circlepath"}) {
    const auto& layers = SymbolIcon::layers(name);
    ASSERT_FALSE(layers.empty()) << name;
    for (const auto& layer : layers) {
      EXPECT_FALSE(layer.path.isEmpty()) << name;
      EXPECT_TRUE(QRectF(0, 0, 24, 24).contains(layer.path.boundingRect())) << name;
    }
  }
  EXPECT_TRUE(SymbolIcon::layers("no.such.symbol").empty());
}

}  // namespace
