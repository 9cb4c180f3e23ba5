// The one launcher window: a Qt Quick view showing LauncherView over the model,
// with the design, minimum and maximum sizes and the window colour.
// Thread-safety: main thread only.
#pragma once

#include <QQuickView>

class LauncherModel;
class Theme;

class LauncherWindow : public QQuickView {
  Q_OBJECT
 public:
  // Call once before the first window: the controls' style and dark palette,
  // and the model's enumerations for QML. Needs the application object.
  static void prepareApplication();

  // Loads the view; `model` and `theme` must outlive the window. QML errors go
  // to the launcher log.
  LauncherWindow(LauncherModel& model, Theme& theme, QWindow* parent = nullptr);

  // The view's item named `objectName`, or null.
  QObject* find(const QString& objectName) const;
};
