// Theme names the pictures and PictureDrawing reads those names: every
// picture of a first frame must draw, at the size the view places it by.
#include "ui/picture_drawing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ui/theme.h"

namespace qh {

namespace {

TEST(PictureDrawing, EveryFirstFramePictureDrawsAtTheSizeTheViewPlacesItBy) {
  const Theme theme(std::filesystem::path(QH_RESOURCES), false);
  PictureDrawing drawing(theme.logo(), theme.tunnel());
  const QSize window(900, 560);
  const QSize button = Theme::primaryButtonSize();
  const int buttonPad = Theme::buttonGlowPad();
  const int logoPad = Theme::logoGlowPad();
  int glows = 0;
  for (const Theme::Picture& picture : theme.firstFrame(window)) {
    SCOPED_TRACE(picture.id.toStdString());
    const QImage image = drawing.draw(picture.id, picture.requested);
    ASSERT_FALSE(image.isNull());
    if (picture.requested.isValid()) {
      EXPECT_EQ(image.size(), picture.requested);
    }
    if (picture.id.startsWith("backdrop/")) {
      EXPECT_EQ(image.size(), window);
    }
    if (picture.id.startsWith("glow/")) {
      EXPECT_EQ(image.size(), button + 2 * QSize(buttonPad, buttonPad));
      ++glows;
    }
    if (picture.id.startsWith("logoglow/")) {
      EXPECT_EQ(image.size(), QSize(210, 210) + 2 * QSize(logoPad, logoPad));
      ++glows;
    }
  }
  EXPECT_EQ(glows, 2);
  EXPECT_TRUE(drawing.draw(QStringLiteral("glow/190/58"), {}).isNull()) << "an unknown id";
}

}  // namespace

}  // namespace qh
