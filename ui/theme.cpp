#include "ui/theme.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QTextLayout>

#include "core/qh.h"
#include "ui/picture_drawing.h"

namespace qh {

namespace {

// A picture counts when its file is there; one that then fails to decode is
// left out by the view, which shows a picture only once it has loaded. Its
// header is not read here: that would load the image plugins on the start-up
// path, before the threads that decode the pictures need them anyway.
QUrl pictureUrl(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return {};
  return QUrl::fromLocalFile(QString::fromStdString(file.string()));
}

int lineCount(const QString& text, const QFont& font, double width) {
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  int lines = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    ++lines;
  }
  layout.endLayout();
  return lines;
}

}  // namespace

Theme::Theme(std::filesystem::path resourceDir, bool animate, QObject* parent)
    : QObject(parent),
      logo_(pictureUrl(resourceDir / "logo.png")),
      tunnel_(pictureUrl(resourceDir / "tunnel.jpg")),
      animate_(animate) {}

std::filesystem::path Theme::defaultResourceDir() {
  const std::filesystem::path exeDir = QCoreApplication::applicationDirPath().toStdString();
  return exeDir.parent_path() / "Resources";
}

QString Theme::websiteURL() const {
  return QString::fromStdString(QH::websiteURL());
}

QString Theme::discordURL() const {
  return QString::fromStdString(QH::discordURL());
}

QString Theme::monoFamily() {
  return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
}

double Theme::pointSize(double pixels) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
  return pixels * 72.0 / (dpi > 0 ? dpi : 96.0);
}

QColor Theme::alpha(const QColor& color, double alpha) {
  QColor c = color;
  c.setAlphaF(float(alpha));
  return c;
}

double Theme::clock() const {
  if (!animate_) return 0.7;
  return double(QDateTime::currentMSecsSinceEpoch()) / 1000 - 978307200;
}

void Theme::openPicture(QImageReader& reader, const QString& file) {
  reader.setFileName(file);
  // Read as the type its name says: a reader left to guess loads every image
  // plugin installed to ask each one.
  reader.setFormat(QFileInfo(file).suffix().toLatin1());
  reader.setAutoDetectImageFormat(false);
}

std::vector<Theme::Wisp> Theme::wisps() {
  return {{520, 130, -12, -30, -40, 70, 18, 21, mist(), 0.31},
          {640, 110, 8, 40, 30, -90, 14, 27, aura(), 0.27},
          {420, 150, -26, 130, -10, 60, 26, 24, mist(), 0.25},
          {560, 90, 18, -110, 70, 80, 12, 31, aura(), 0.23},
          {360, 120, -4, 10, 110, -60, 16, 19, mist(), 0.21}};
}

QVariantList Theme::wispList() {
  QVariantList list;
  for (const Wisp& w : wisps()) {
    list.push_back(QVariantMap{{"width", w.width},
                               {"height", w.height},
                               {"angle", w.angle},
                               {"x", w.x},
                               {"y", w.y},
                               {"driftX", w.driftX},
                               {"driftY", w.driftY},
                               {"seconds", w.seconds},
                               {"tint", w.tint},
                               {"alpha", w.alpha},
                               {"source", source(wispPicture(w))}});
  }
  return list;
}

QString Theme::source(const Picture& picture) {
  return QStringLiteral("image://%1/%2").arg(pictureProvider(), picture.id);
}

Theme::Picture Theme::backdropPicture(QSize window) {
  return {PictureDrawing::backdropId(window), {}};
}

// Radii 10 to 360, made at half size: a soft fade loses nothing drawn
// stretched, and a quarter of the memory starts sooner.
Theme::Picture Theme::auraGlow() {
  return {PictureDrawing::radialId(aura(), 10, 360), {360, 360}};
}

Theme::Picture Theme::wispPicture(const Wisp& w) {
  return {PictureDrawing::wispId(w.tint, w.width, w.height, w.angle), {}};
}

Theme::Picture Theme::buttonGlow(QSize button) {
  return {PictureDrawing::glowId(button, 12, buttonGlowRadius, accent()), {}};
}

// Decoded at twice the size it is shown, for screens of twice the density.
Theme::Picture Theme::logoPicture() {
  return {PictureDrawing::logoId(), {420, 420}};
}

Theme::Picture Theme::logoGlow() {
  return {PictureDrawing::logoGlowId(logoGlowRadius, accent()), {}};
}

std::vector<Theme::Picture> Theme::firstFrame(QSize size) const {
  std::vector<Picture> pictures = {backdropPicture(size), auraGlow()};
  for (const Wisp& w : wisps()) pictures.push_back(wispPicture(w));
  pictures.push_back(buttonGlow(primaryButtonSize()));
  if (!logo_.isEmpty()) {
    pictures.push_back(logoPicture());
    pictures.push_back(logoGlow());
  }
  return pictures;
}

QString Theme::backdropSource(int width, int height) {
  return source(backdropPicture({width, height}));
}

QString Theme::buttonGlowSource(int width, int height) {
  return source(buttonGlow({width, height}));
}

QString Theme::logoSource() const {
  return logo_.isEmpty() ? QString() : source(logoPicture());
}

QString Theme::logoGlowSource() const {
  return logo_.isEmpty() ? QString() : source(logoGlow());
}

QPalette Theme::palette() {
  QPalette p;
  p.setColor(QPalette::Window, surface());
  p.setColor(QPalette::WindowText, text());
  p.setColor(QPalette::Base, inset());
  p.setColor(QPalette::AlternateBase, surfaceHi());
  p.setColor(QPalette::Text, text());
  p.setColor(QPalette::PlaceholderText, textFaint());
  p.setColor(QPalette::Button, surfaceHi());
  p.setColor(QPalette::ButtonText, text());
  p.setColor(QPalette::BrightText, accentHot());
  p.setColor(QPalette::Highlight, accentDeep());
  p.setColor(QPalette::HighlightedText, text());
  p.setColor(QPalette::ToolTipBase, surfaceHi());
  p.setColor(QPalette::ToolTipText, text());
  p.setColor(QPalette::Light, edge());
  p.setColor(QPalette::Midlight, edge());
  p.setColor(QPalette::Mid, surfaceHi());
  p.setColor(QPalette::Dark, bgBottom());
  p.setColor(QPalette::Shadow, bgBottom());
  p.setColor(QPalette::Disabled, QPalette::Text, textFaint());
  p.setColor(QPalette::Disabled, QPalette::ButtonText, textFaint());
  p.setColor(QPalette::Disabled, QPalette::WindowText, textFaint());
  return p;
}

QString Theme::elideMiddle(const QString& text, int pixelSize, double width, int maxLines) {
  QFont font = QGuiApplication::font();
  font.setPixelSize(pixelSize);
  if (width <= 0 || maxLines <= 0 || lineCount(text, font, width) <= maxLines) return text;
  // Longest kept length whose head…tail form still fits; fitting shrinks
  // monotonically with the kept length, so bisect.
  const QChar ellipsis(0x2026);
  qsizetype lo = 0;
  qsizetype hi = text.size();
  while (lo < hi) {
    const qsizetype keep = (lo + hi + 1) / 2;
    const QString candidate = text.left((keep + 1) / 2) + ellipsis + text.right(keep / 2);
    if (lineCount(candidate, font, width) <= maxLines)
      lo = keep;
    else
      hi = keep - 1;
  }
  return text.left((lo + 1) / 2) + ellipsis + text.right(lo / 2);
}

}  // namespace qh
