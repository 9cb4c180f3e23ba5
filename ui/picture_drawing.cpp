#include "ui/picture_drawing.h"

#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/theme.h"

namespace qh {

namespace {

// One running-sum box blur of radius r along rows (or columns) of an 8-bit plane.
void boxPass(std::vector<float>& plane, int w, int h, int r, bool rows) {
  const int n = rows ? w : h;
  const int lines = rows ? h : w;
  std::vector<float> line(n);
  for (int l = 0; l < lines; ++l) {
    auto at = [&](int i) -> float& { return rows ? plane[l * w + i] : plane[i * w + l]; };
    for (int i = 0; i < n; ++i) line[i] = at(i);
    float sum = 0;
    for (int i = -r; i <= r; ++i) sum += (i >= 0 && i < n) ? line[i] : 0.f;
    for (int i = 0; i < n; ++i) {
      at(i) = sum / float(2 * r + 1);
      const int out = i - r;
      const int in = i + r + 1;
      if (out >= 0) sum -= line[out];
      if (in < n) sum += line[in];
    }
  }
}

QColor hexColor(const QString& hex) {
  return QColor(QStringLiteral("#") + hex);
}

QString hexOf(const QColor& color) {
  return color.name().mid(1);
}

// `mask`'s alpha blurred like a drop shadow of blur radius `radius`
// (Gaussian, sigma radius ÷ 2), filled with `color`. Padded by 2 × radius.
QImage shadow(const QImage& mask, const QColor& color, double radius) {
  const int pad = int(std::ceil(2 * radius));
  const int w = mask.width() + 2 * pad;
  const int h = mask.height() + 2 * pad;
  const QImage alpha = mask.convertToFormat(QImage::Format_Alpha8);
  std::vector<float> plane(size_t(w) * size_t(h), 0.f);
  for (int y = 0; y < mask.height(); ++y) {
    const uchar* src = alpha.constScanLine(y);
    for (int x = 0; x < mask.width(); ++x) plane[(y + pad) * w + x + pad] = src[x] / 255.f;
  }
  // Three box passes each way approximate the Gaussian (variance r(r+1) ≈ sigma²).
  const int r = std::max(1, int(std::lround(radius / 2)));
  for (int i = 0; i < 3; ++i) {
    boxPass(plane, w, h, r, true);
    boxPass(plane, w, h, r, false);
  }
  QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y) {
    auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const float a = std::clamp(plane[y * w + x], 0.f, 1.f);
      dst[x] = qRgba(int(color.red() * a + 0.5f), int(color.green() * a + 0.5f),
                     int(color.blue() * a + 0.5f), int(255 * a + 0.5f));
    }
  }
  return out;
}

// `color` solid out to `inner` of `radius` around `centre`, fading to clear
// at `radius`.
QRadialGradient radialFade(const QColor& color, QPointF centre, double radius, double inner) {
  QRadialGradient gradient(centre, radius);
  QColor clear = color;
  clear.setAlpha(0);
  gradient.setColorAt(0, color);
  gradient.setColorAt(inner, color);
  gradient.setColorAt(1, clear);
  return gradient;
}

// "radial/RRGGBB/INNER/OUTER" as `part`.
QImage radial(const QStringList& part, QSize requested) {
  const int d = requested.isValid() ? std::max(requested.width(), 1) : 256;
  const double outer = part[3].toDouble();
  const double inner = outer > 0 ? std::clamp(part[2].toDouble() / outer, 0.0, 1.0) : 0.0;
  QImage image(d, d, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setPen(Qt::NoPen);
  p.setBrush(radialFade(hexColor(part[1]), QPointF(d / 2.0, d / 2.0), d / 2.0, inner));
  p.drawEllipse(0, 0, d, d);
  return image;
}

// "wisp/RRGGBB/W/H/ANGLE" as `part`: the ellipse with its squash and rotation
// baked in, so at run time it only moves and fades, the cheapest thing to
// composite.
QImage wisp(const QStringList& part) {
  const double w = part[2].toDouble();
  const double h = part[3].toDouble();
  const double angle = part[4].toDouble() * M_PI / 180;
  const double a = w / 2, b = h / 2;
  const int bw = int(std::ceil(2 * std::sqrt(a * a * std::cos(angle) * std::cos(angle) +
                                             b * b * std::sin(angle) * std::sin(angle))));
  const int bh = int(std::ceil(2 * std::sqrt(a * a * std::sin(angle) * std::sin(angle) +
                                             b * b * std::cos(angle) * std::cos(angle))));
  QImage image(std::max(bw, 1), std::max(bh, 1), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(image.width() / 2.0, image.height() / 2.0);
  p.rotate(part[4].toDouble());
  p.scale(1, h / w);
  p.setPen(Qt::NoPen);
  p.setBrush(radialFade(hexColor(part[1]), QPointF(0, 0), a, 0));
  p.drawEllipse(QPointF(0, 0), a, a);
  return image;
}

// "glow/W/H/CORNER/RADIUS/RRGGBB" as `part`.
QImage glow(const QStringList& part) {
  QImage mask(part[1].toInt(), part[2].toInt(), QImage::Format_ARGB32_Premultiplied);
  mask.fill(Qt::transparent);
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  path.addRoundedRect(QRectF(mask.rect()), part[3].toDouble(), part[3].toDouble());
  p.fillPath(path, Qt::black);
  p.end();
  return shadow(mask, hexColor(part[5]), part[4].toDouble());
}

}  // namespace

PictureDrawing::PictureDrawing(QUrl logo, QUrl tunnel)
    : logo_(std::move(logo)), tunnel_(std::move(tunnel)) {}

QString PictureDrawing::radialId(const QColor& color, int inner, int outer) {
  return QStringLiteral("radial/%1/%2/%3").arg(hexOf(color)).arg(inner).arg(outer);
}

QString PictureDrawing::wispId(const QColor& color, int width, int height, int angle) {
  return QStringLiteral("wisp/%1/%2/%3/%4").arg(hexOf(color)).arg(width).arg(height).arg(angle);
}

QString PictureDrawing::glowId(QSize size, int corner, int radius, const QColor& color) {
  return QStringLiteral("glow/%1/%2/%3/%4/%5")
      .arg(size.width())
      .arg(size.height())
      .arg(corner)
      .arg(radius)
      .arg(hexOf(color));
}

QString PictureDrawing::logoGlowId(int radius, const QColor& color) {
  return QStringLiteral("logoglow/%1/%2").arg(radius).arg(hexOf(color));
}

QString PictureDrawing::logoId() {
  return QStringLiteral("logo");
}

QString PictureDrawing::backdropId(QSize size) {
  return QStringLiteral("backdrop/%1/%2").arg(size.width()).arg(size.height());
}

QImage PictureDrawing::logoImage() {
  const std::lock_guard lock(logoLock_);
  if (!logoImage_) {
    QImageReader reader;
    if (logo_.isLocalFile()) Theme::openPicture(reader, logo_.toLocalFile());
    logoImage_ = logo_.isLocalFile() ? reader.read() : QImage();
  }
  return *logoImage_;
}

QImage PictureDrawing::backdrop(QSize size) const {
  if (size.isEmpty() || size.width() > 8192 || size.height() > 8192) return {};
  const double w = size.width(), h = size.height();
  // Corner to corner in the unit square stretched over the window: the other
  // two corners share the middle colour.
  const double k = 2 * w * h / (w * w + h * h);
  QLinearGradient base(0, 0, k * h, k * w);
  base.setColorAt(0, Theme::bgTop());
  base.setColorAt(1, Theme::bgBottom());

  // Opaque, so the window copies it rather than blending it. Fresh memory is
  // costly to touch, so a tunnel picture decoded at the window's size becomes
  // the backdrop itself: the gradient at 66 % over the picture is the
  // picture at 34 % over the gradient.
  QImage image = tunnelAt(size);
  QPainter p;
  if (image.size() == size && image.format() == QImage::Format_RGB32) {
    p.begin(&image);
    p.setOpacity(0.66);
    p.fillRect(image.rect(), base);
    p.setOpacity(1);
  } else {
    const QImage tunnel = std::move(image);
    image = QImage(size, QImage::Format_RGB32);
    p.begin(&image);
    p.fillRect(image.rect(), base);
    if (tunnel.isNull()) return image;
    // Scaled to fill the window, centred: the part of the picture with the
    // window's shape, as large as fits.
    const QSizeF part = QSizeF(size).scaled(tunnel.size(), Qt::KeepAspectRatio);
    const QRectF source(
        QPointF((tunnel.width() - part.width()) / 2, (tunnel.height() - part.height()) / 2), part);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setOpacity(0.34);
    p.drawImage(QRectF(image.rect()), tunnel, source);
    p.setOpacity(1);
  }

  QLinearGradient shade(0, 0, 0, h);
  shade.setColorAt(0, Theme::alpha(Theme::bgTop(), 0.6));
  shade.setColorAt(0.42, Theme::alpha(Theme::bgTop(), 0.16));
  shade.setColorAt(0.78, Theme::alpha(Theme::bgBottom(), 0.47));
  shade.setColorAt(1, Theme::alpha(Theme::bgBottom(), 0.92));
  p.fillRect(image.rect(), shade);

  QRadialGradient vignette(QPointF(w / 2, h / 2), 760);
  vignette.setColorAt(0, Qt::transparent);
  vignette.setColorAt(280.0 / 760, Qt::transparent);
  vignette.setColorAt(1, Theme::alpha(Theme::bgBottom(), 0.78));
  p.fillRect(image.rect(), vignette);
  return image;
}

QImage PictureDrawing::tunnelAt(QSize size) const {
  if (!tunnel_.isLocalFile()) return {};
  // Decoded no larger than it is drawn: the design size serves every window
  // up to it, so most starts decode the picture at the window's size.
  QImageReader reader;
  Theme::openPicture(reader, tunnel_.toLocalFile());
  const QSize full = reader.size();
  if (full.isEmpty()) return {};
  const QSize design(Theme::width(), Theme::height());
  const QSize decode = size.width() <= design.width() && size.height() <= design.height()
                           ? full.scaled(design, Qt::KeepAspectRatioByExpanding)
                           : full;
  if (decode != full) reader.setScaledSize(decode);
  return reader.read();
}

QImage PictureDrawing::draw(const QString& id, QSize requested) {
  const QStringList part = id.split('/');
  if (part.size() == 4 && part[0] == "radial") return radial(part, requested);
  if (part.size() == 5 && part[0] == "wisp") return wisp(part);
  if (part.size() == 6 && part[0] == "glow") return glow(part);
  if (part.size() == 3 && part[0] == "logoglow") {
    const QImage logo = logoImage();
    if (logo.isNull()) return {};
    return shadow(logo.scaled(210, 210, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                  hexColor(part[2]), part[1].toDouble());
  }
  if (part.size() == 3 && part[0] == "backdrop")
    return backdrop(QSize(part[1].toInt(), part[2].toInt()));
  if (part.size() == 1 && part[0] == "logo") {
    QImage image = logoImage();
    if (!image.isNull() && requested.isValid() && requested != image.size())
      image = image.scaled(requested, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
  }
  return {};
}

}  // namespace qh
