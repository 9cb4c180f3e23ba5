// Soft pictures the window composites instead of computing blurs each frame:
// the wisp sprite, the primary button's glow and the logo's glow. Each is made
// once per id and cached by the QML engine.
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
// for both logo pictures. Pictures are made on threads of the provider's own,
// several at once, while the main thread builds the rest of the window; those
// the window's first frame needs can be started before the view asks, and
// kept for the next start.
// Thread-safety: any thread.
#pragma once

#include <QImage>
#include <QQuickAsyncImageProvider>
#include <QThreadPool>
#include <QUrl>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qh {

class SavedPictures;

class GlowImages : public QQuickAsyncImageProvider {
 public:
  // `logo` and `tunnel` are the picture files (empty: absent).
  GlowImages(QUrl logo, QUrl tunnel);
  ~GlowImages() override;
  QQuickImageResponse* requestImageResponse(const QString& id, const QSize& requestedSize) override;

  // Makes no more pictures: drops those not yet started and waits for the
  // rest. The engine may keep the provider past the application's end; its
  // pictures must not outlive the application.
  void stop();

  // Keeps the pictures started early, of the kinds `ids` names, in `folder`
  // and takes them from there at the next start. Call before startEarly.
  void saveIn(const std::filesystem::path& folder, const QStringList& ids);
  // Starts making `id` at `requested` size now, for the view to ask for later.
  void startEarly(const QString& id, QSize requested = {});
  // The pictures started early that the view has not asked for yet, and the
  // ones it asked for that were not started early ("id@WxH").
  QStringList unclaimed() const;
  QStringList unforeseen() const;

  // The picture `id` names (see above), made at once; null for an unknown id.
  QImage render(const QString& id, const QSize& requestedSize);

  // `mask`'s alpha blurred like a drop shadow of blur radius `radius`
  // (Gaussian, sigma radius ÷ 2), filled with `color`. Padded by 2 × radius.
  static QImage shadow(const QImage& mask, const QColor& color, double radius);

  // A picture in the making (private to the provider's threads).
  struct Making;

 private:
  // The "backdrop" picture at `size`.
  QImage backdrop(QSize size) const;
  // The tunnel picture decoded for a backdrop of `size`; null when absent.
  QImage tunnelAt(QSize size) const;
  // The decoded logo file; null when it cannot be read.
  QImage logoImage();

  QUrl logo_;
  QUrl tunnel_;
  std::shared_ptr<const SavedPictures> saved_;
  mutable std::mutex earlyLock_;
  std::map<std::string, std::shared_ptr<Making>> early_;
  std::vector<std::string> unforeseen_;
  bool stopped_ = false;  // guarded by earlyLock_
  std::mutex logoLock_;
  std::optional<QImage> logoImage_;
  // Last, so it is destroyed first: its destructor waits for pictures in the
  // making, which use the members above.
  QThreadPool pool_;
};

}  // namespace qh
