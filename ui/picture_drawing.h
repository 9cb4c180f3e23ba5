// The pixels of the soft pictures the window composites instead of computing
// blurs each frame, each named by an id:
//   "radial/RRGGBB/INNER/OUTER"    a disc (256 across, or the requested width)
//                                  fading from the colour to clear, solid out to
//                                  INNER ÷ OUTER of its radius
//   "wisp/RRGGBB/W/H/ANGLE"        that fade squashed to a W × H ellipse and
//                                  rotated by ANGLE degrees, on its bounding box
//   "glow/W/H/CORNER/RADIUS/RRGGBB" a W × H rounded rectangle's shadow
//   "logoglow/RADIUS/RRGGBB"        the logo's shadow at 210 × 210
//   "logo"                          the logo itself (at the requested size)
//   "backdrop/W/H"                  everything behind the ambient layer at
//                                  W × H: the corner-to-corner gradient and,
//                                  when the tunnel picture decodes, that
//                                  picture scaled to fill with its shade and
//                                  vignette; opaque
// Shadows are padded by 2 × RADIUS on each side. The logo file is decoded once
// for both logo pictures. Which pictures the window shows is Theme's choice;
// the ids are made here, beside the code that reads them.
// Thread-safety: any thread.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>
#include <mutex>
#include <optional>

namespace qh {

class PictureDrawing {
 public:
  // `logo` and `tunnel` are the picture files (empty: absent).
  PictureDrawing(QUrl logo, QUrl tunnel);

  const QUrl& logo() const { return logo_; }
  const QUrl& tunnel() const { return tunnel_; }

  // The picture `id` names (see above) at `requested` size; null for an
  // unknown id and for a logo picture when the logo file does not decode.
  QImage draw(const QString& id, QSize requested);

  // The ids, in the order of the list above.
  static QString radialId(const QColor& color, int inner, int outer);
  static QString wispId(const QColor& color, int width, int height, int angle);
  static QString glowId(QSize size, int corner, int radius, const QColor& color);
  static QString logoGlowId(int radius, const QColor& color);
  static QString logoId();
  static QString backdropId(QSize size);

 private:
  // The "backdrop" picture at `size`.
  QImage backdrop(QSize size) const;
  // The tunnel picture decoded for a backdrop of `size`; null when absent.
  QImage tunnelAt(QSize size) const;
  // The decoded logo file; null when it cannot be read.
  QImage logoImage();

  QUrl logo_;
  QUrl tunnel_;
  std::mutex logoLock_;
  std::optional<QImage> logoImage_;
};

}  // namespace qh
