// The window's image provider for the pictures PictureDrawing draws: it
// makes them on threads of its own, several at once, while the main thread
// builds the rest of the window, and answers the engine's requests when they
// are in. Those the window's first frame needs can be started before the view
// asks, and kept for the next start (SavedPictures).
// Thread-safety: any thread.
#pragma once

#include <QQuickAsyncImageProvider>
#include <QThreadPool>
#include <QUrl>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/picture_drawing.h"

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

  // A picture in the making (private to the provider's threads).
  struct Making;

 private:
  PictureDrawing drawing_;
  std::shared_ptr<const SavedPictures> saved_;
  mutable std::mutex earlyLock_;
  std::map<std::string, std::shared_ptr<Making>> early_;
  std::vector<std::string> unforeseen_;
  bool stopped_ = false;  // guarded by earlyLock_
  // Last, so it is destroyed first: its destructor waits for pictures in the
  // making, which use the members above.
  QThreadPool pool_;
};

}  // namespace qh
