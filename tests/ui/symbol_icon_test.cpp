// Symbols are read through Qt's SVG module into layers the icon draws at any
// size in any colour: each file must come out whole, its strokes with the
// widths, caps and joins the file gives and its fills with the file's rule.
#include "ui/symbol_icon.h"

#include <gtest/gtest.h>

#include <QDir>

namespace qh {

namespace {

TEST(SymbolIcon, EverySymbolReadsAndKeepsItsStrokesAndFillRules) {
  const QStringList files =
      QDir(QStringLiteral(":/qh/icons")).entryList({QStringLiteral("*.svg")}, QDir::Files);
  ASSERT_EQ(files.size(), 8);
  for (const QString& file : files) {
    const std::vector<SymbolIcon::Layer> layers = SymbolIcon::layers(file.chopped(4));
    EXPECT_FALSE(layers.empty()) << file.toStdString();
    for (const SymbolIcon::Layer& layer : layers) {
      const QRectF bounds = layer.path.boundingRect();
      EXPECT_TRUE(QRectF(0, 0, 24, 24).contains(bounds)) << file.toStdString();
      EXPECT_GT(bounds.width() + bounds.height(), 4) << file.toStdString();
    }
  }

  // Four strokes of their own widths, round-capped and round-joined.
  std::vector<double> widths;
  for (const SymbolIcon::Layer& layer : SymbolIcon::layers("wrench.and.screwdriver")) {
    EXPECT_EQ(layer.stroke.capStyle(), Qt::RoundCap);
    EXPECT_EQ(layer.stroke.joinStyle(), Qt::RoundJoin);
    widths.push_back(layer.stroke.widthF());
  }
  EXPECT_EQ(widths, (std::vector<double>{2.2, 2.6, 3.4, 1.6}));

  // A stroked arc and a filled head; the filled circle's arrow is a hole.
  const std::vector<SymbolIcon::Layer> clockwise = SymbolIcon::layers("arrow.clockwise");
  ASSERT_EQ(clockwise.size(), 2u);
  EXPECT_DOUBLE_EQ(clockwise[0].stroke.widthF(), 2);
  EXPECT_EQ(clockwise[1].stroke.style(), Qt::NoPen);
  const std::vector<SymbolIcon::Layer> down = SymbolIcon::layers("arrow.down.circle.fill");
  ASSERT_EQ(down.size(), 1u);
  EXPECT_FALSE(down[0].path.contains(QPointF(12, 10)));
  EXPECT_TRUE(down[0].path.contains(QPointF(5, 12)));

  EXPECT_TRUE(SymbolIcon::layers("no.such.symbol").empty());
}

}  // namespace

}  // namespace qh
