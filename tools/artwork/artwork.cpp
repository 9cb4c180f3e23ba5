// qh-artwork OUTDIR: draws the launcher's own pictures, "logo.png" (an emblem,
// 420 × 420 for a 210-point slot on high-density screens), "tunnel.jpg" (a
// receding stone passage towards warm light) and "AppIcon.icns" (the emblem on
// a dark rounded square, the bundle's icon), deterministically, so the build
// makes them instead of the repository carrying binaries.
// qh-artwork OUTDIR --icons NAME: the emblem as the application's icon, in
// the icon theme's folder shape, for the Linux package.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

#include "icns.h"

namespace {

const QColor amber(224, 172, 78);
const QColor amberHot(248, 210, 126);
const QColor amberDeep(160, 106, 32);
const QColor teal(58, 190, 170);
const QColor night(18, 16, 13);

QPainterPath arch(QPointF centre, double halfWidth, double top, double bottom) {
  QPainterPath path;
  path.moveTo(centre.x() - halfWidth, bottom);
  path.lineTo(centre.x() - halfWidth, top + halfWidth);
  path.arcTo(QRectF(centre.x() - halfWidth, top, 2 * halfWidth, 2 * halfWidth), 180, -180);
  path.lineTo(centre.x() + halfWidth, bottom);
  path.closeSubpath();
  return path;
}

QImage drawLogo() {
  const int s = 420;
  const QPointF c(s / 2.0, s / 2.0);
  QImage image(s, s, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  // Outer ring: a beaten-gold band.
  QLinearGradient gold(0, 0, 0, s);
  gold.setColorAt(0, amberHot);
  gold.setColorAt(0.5, amber);
  gold.setColorAt(1, amberDeep);
  p.setPen(Qt::NoPen);
  p.setBrush(gold);
  p.drawEllipse(c, 200, 200);
  QRadialGradient field(c, 184);
  field.setColorAt(0, QColor(40, 34, 26));
  field.setColorAt(1, night);
  p.setBrush(field);
  p.drawEllipse(c, 184, 184);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(248, 210, 126, 120), 2));
  p.drawEllipse(c, 172, 172);

  // The haven's gate: an arch of gold with a teal spring rising in it.
  const QPainterPath gate = arch(c, 92, 86, 318);
  const QPainterPath opening = arch(c, 62, 118, 318);
  p.setPen(Qt::NoPen);
  p.setBrush(gold);
  p.drawPath(gate.subtracted(opening));
  QLinearGradient water(0, 150, 0, 318);
  water.setColorAt(0, QColor(58, 190, 170, 40));
  water.setColorAt(1, QColor(58, 190, 170, 220));
  p.setBrush(water);
  p.drawPath(opening);

  // The spring: a drop over three ripples.
  QPainterPath drop;
  drop.moveTo(c.x(), 150);
  drop.cubicTo(c.x() + 10, 180, c.x() + 30, 200, c.x() + 30, 226);
  drop.arcTo(QRectF(c.x() - 30, 196, 60, 60), 0, -180);
  drop.cubicTo(c.x() - 30, 200, c.x() - 10, 180, c.x(), 150);
  QLinearGradient dropFill(0, 150, 0, 256);
  dropFill.setColorAt(0, QColor(214, 226, 222));
  dropFill.setColorAt(1, teal);
  p.setBrush(dropFill);
  p.drawPath(drop);
  p.setBrush(Qt::NoBrush);
  for (int i = 0; i < 3; ++i) {
    p.setPen(QPen(QColor(214, 226, 222, 200 - 50 * i), 4, Qt::SolidLine, Qt::RoundCap));
    const double w = 36 + 22 * i;
    p.drawArc(QRectF(c.x() - w, 272 + 8 * i, 2 * w, 18), 200 * 16, 140 * 16);
  }

  // Keystone and threshold.
  p.setPen(Qt::NoPen);
  p.setBrush(amberHot);
  QPolygonF key;
  key << QPointF(c.x() - 16, 80) << QPointF(c.x() + 16, 80) << QPointF(c.x() + 10, 112)
      << QPointF(c.x() - 10, 112);
  p.drawPolygon(key);
  p.setBrush(gold);
  p.drawRoundedRect(QRectF(c.x() - 118, 318, 236, 16), 4, 4);
  return image;
}

QImage drawTunnel() {
  const int w = 1800;
  const int h = 1120;
  const QPointF vanish(w / 2.0, h * 0.4);
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(image.rect(), night);

  // Light at the end of the passage.
  QRadialGradient light(vanish, 520);
  light.setColorAt(0, QColor(255, 214, 140));
  light.setColorAt(0.08, QColor(236, 170, 80));
  light.setColorAt(0.35, QColor(90, 60, 30));
  light.setColorAt(1, night);
  p.fillRect(image.rect(), light);

  // Ribs of the passage, nearest last: each arch a ring of lit stone.
  QRandomGenerator rng(1234);
  for (int i = 14; i >= 0; --i) {
    const double d = std::pow(0.78, i);  // 1 = nearest
    const double half = 40 + 980 * d;
    const double top = vanish.y() - 40 - 700 * d;
    const double bottom = vanish.y() + 30 + 800 * d;
    const QPainterPath outer = arch(vanish, half, top, bottom);
    const QPainterPath inner = arch(vanish, half * 0.86, top + 60 * d + 6, bottom);
    const int shade = int(18 + 70 * (1 - d));
    QLinearGradient stone(vanish.x() - half, 0, vanish.x() + half, 0);
    stone.setColorAt(0, QColor(shade, shade * 0.85, shade * 0.65));
    stone.setColorAt(0.5, QColor(shade + 40, (shade + 40) * 0.8, (shade + 40) * 0.55));
    stone.setColorAt(1, QColor(shade, shade * 0.85, shade * 0.65));
    p.setPen(Qt::NoPen);
    p.setBrush(stone);
    p.drawPath(outer.subtracted(inner));
    // Mortar joints: radial cuts through the ring.
    p.setPen(QPen(QColor(8, 7, 6, 160), 1 + 3 * d));
    for (int j = 0; j <= 12; ++j) {
      const double a = M_PI * j / 12;
      const QPointF o(vanish.x() - half * std::cos(a), top + half - half * std::sin(a));
      const QPointF n(vanish.x() - half * 0.86 * std::cos(a),
                      top + half - half * 0.86 * std::sin(a) + 60 * d);
      p.drawLine(o, n);
    }
  }
  // Floor: worn flagstones fading into the dark.
  QLinearGradient floor(0, vanish.y(), 0, h);
  floor.setColorAt(0, QColor(60, 45, 28, 0));
  floor.setColorAt(1, QColor(30, 24, 18, 255));
  QPolygonF ground;
  ground << QPointF(vanish.x() - 40, vanish.y() + 30) << QPointF(vanish.x() + 40, vanish.y() + 30)
         << QPointF(w, h) << QPointF(0, h);
  p.setPen(Qt::NoPen);
  p.setBrush(floor);
  p.drawPolygon(ground);
  // Grain, so the stone does not look like plastic.
  for (int i = 0; i < 60000; ++i) {
    const int x = rng.bounded(w);
    const int y = rng.bounded(h);
    const int a = rng.bounded(40);
    p.fillRect(x, y, 2, 2, QColor(0, 0, 0, a));
  }
  return image;
}

// The application icon at each size the desktop's icon theme asks for, from
// the same emblem: "<size>x<size>/apps/<name>.png" below `out`.
bool saveIcons(const QDir& out, const QString& name,
               const std::function<bool(const QImage&, const QString&, const char*)>& save) {
  const QImage logo = drawLogo();
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("%1x%1/apps").arg(size);
    if (!QDir().mkpath(out.filePath(folder))) return false;
    const QImage icon = logo.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!save(icon, folder + "/" + name + ".png", "PNG")) return false;
  }
  return true;
}

// The emblem on the dark rounded square macOS icons share: 824 of 1024
// pixels with the corner radius of Apple's icon grid.
QImage drawAppIcon(const QImage& logo) {
  const int s = 1024;
  QImage image(s, s, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF tile(100, 100, 824, 824);
  QLinearGradient shade(0, tile.top(), 0, tile.bottom());
  shade.setColorAt(0, night.lighter(160));
  shade.setColorAt(1, night);
  p.setPen(Qt::NoPen);
  p.setBrush(shade);
  p.drawRoundedRect(tile, 185, 185);
  p.drawImage(tile.adjusted(90, 90, -90, -90), logo);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool icons = argc == 4 && std::strcmp(argv[2], "--icons") == 0;
  if (argc != 2 && !icons) {
    std::fprintf(stderr, "usage: qh-artwork OUTDIR [--icons NAME]\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(out.path())) return 1;
  // Write under temporary names, then rename: a half-written picture must
  // never be taken for the real one.
  const auto save = [&](const QImage& image, const QString& name, const char* format) {
    const QString tmp = out.filePath(name + ".tmp");
    if (!image.save(tmp, format, 88)) return false;
    QFile::remove(out.filePath(name));
    return QFile::rename(tmp, out.filePath(name));
  };
  const auto write = [&](const QByteArray& bytes, const QString& name) {
    QFile file(out.filePath(name + ".tmp"));
    if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
      return false;
    file.close();
    QFile::remove(out.filePath(name));
    return QFile::rename(file.fileName(), out.filePath(name));
  };
  const auto pictures = [&] {
    const QImage logo = drawLogo();
    return save(logo, "logo.png", "PNG") && save(drawTunnel(), "tunnel.jpg", "JPG") &&
           write(qh::Icns::pack(drawAppIcon(logo)), "AppIcon.icns");
  };
  const bool saved = icons ? saveIcons(out, QString::fromLocal8Bit(argv[3]), save) : pictures();
  if (!saved) {
    std::fprintf(stderr, "qh-artwork: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
