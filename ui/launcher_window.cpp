#include "ui/launcher_window.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>

#include "core/log.h"
#include "core/phase.h"
#include "model/launcher_model.h"
#include "ui/glow_images.h"
#include "ui/theme.h"

void LauncherWindow::prepareApplication() {
  static bool done = false;
  if (done) return;
  done = true;
  // Basic is the lightest style; it draws the few stock parts (menu, alert,
  // tool tip, folder panel) from the palette, so one dark palette makes them
  // match the window. Named through the environment: the controls library
  // then loads when one of those parts is first made, not at start.
  if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE"))
    qputenv("QT_QUICK_CONTROLS_STYLE", "Basic");
  QGuiApplication::setPalette(Theme::palette());
  qmlRegisterUncreatableMetaObject(LauncherPhase::staticMetaObject, "Quellhaven.Model", 1, 0,
                                   "LauncherPhase",
                                   QStringLiteral("LauncherPhase is an enumeration"));
}

LauncherWindow::LauncherWindow(LauncherModel& model, Theme& theme, QWindow* parent)
    : QQuickView(parent) {
  prepareApplication();
  setTitle(QStringLiteral("Quellhaven"));
  setColor(Theme::bgBottom());
  setMinimumSize({Theme::minWidth(), Theme::minHeight()});
  setMaximumSize({Theme::maxWidth(), Theme::maxHeight()});
  resize(Theme::width(), Theme::height());
  setResizeMode(QQuickView::SizeRootObjectToView);
  engine()->addImageProvider(QStringLiteral("qh"), new GlowImages(theme.logo()));
  rootContext()->setContextProperty(QStringLiteral("launcher"), &model);
  rootContext()->setContextProperty(QStringLiteral("theme"), &theme);
  connect(engine(), &QQmlEngine::warnings, this, [](const QList<QQmlError>& warnings) {
    for (const QQmlError& w : warnings) Log::line("window: " + w.toString().toStdString());
  });
  setSource(QUrl(QStringLiteral("qrc:/qh/Quellhaven/Ui/LauncherView.qml")));
  for (const QQmlError& e : errors()) Log::line("window: " + e.toString().toStdString());
}

QObject* LauncherWindow::find(const QString& objectName) const {
  QQuickItem* root = rootObject();
  if (!root) return nullptr;
  if (root->objectName() == objectName) return root;
  return root->findChild<QObject*>(objectName);
}
