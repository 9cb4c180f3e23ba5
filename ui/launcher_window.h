// The one launcher window: a Qt Quick view showing LauncherView over the model,
// with the design, minimum and maximum sizes and the window colour.
// Thread-safety: main thread only.
#pragma once

#include <QQuickView>
#include <filesystem>

class QTimer;

namespace qh {

class GlowImages;
class LauncherModel;
class Theme;

class LauncherWindow : public QQuickView {
  Q_OBJECT
 public:
  // Call once before the first window: the controls' style and dark palette,
  // and the model's enumerations for QML. Needs the application object.
  static void prepareApplication();

  // The view's pictures for `theme`, with those its first frame shows in a
  // window of `size` already being made on other threads, so they are ready
  // by the time the rest of the window is built; its symbols are read on
  // another thread too. With `savedIn`, those pictures are kept there for the
  // next start, which maps them instead of making them. Give it to the window.
  static GlowImages* startPictures(const Theme& theme, QSize size,
                                   const std::filesystem::path& savedIn = {});

  // Loads the view at `size` (the design size when empty); `model` and `theme`
  // must outlive the window. QML errors go to the launcher log. The window
  // owns `pictures` (made for `theme` when null).
  LauncherWindow(LauncherModel& model, Theme& theme, GlowImages* pictures = nullptr,
                 QSize size = {}, QWindow* parent = nullptr);
  ~LauncherWindow() override;

  // The view's item named `objectName`, or null.
  QObject* find(const QString& objectName) const;

  // Shows the window once every picture of the view is in, so its first
  // frame is whole; after `limitMs` it shows regardless. Pictures load on
  // other threads while the main thread builds the rest of the window.
  void showWhenLoaded(int limitMs = 1000);
  // Whether a picture of the view is still loading.
  bool picturesLoading() const;
  GlowImages& pictures() const { return *pictures_; }

 private slots:
  void showIfLoaded();

 private:
  QTimer* showLimit_ = nullptr;
  GlowImages* pictures_;  // owned by the engine
};

}  // namespace qh
