#include "ui/launcher_window.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QTimer>
#include <functional>
#include <vector>

#include "core/log.h"
#include "core/phase.h"
#include "model/launcher_model.h"
#include "ui/glow_images.h"
#include "ui/symbol_icon.h"
#include "ui/theme.h"

namespace qh {

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
  SymbolIcon::registerType();
  qmlRegisterUncreatableMetaObject(qh::staticMetaObject, "Quellhaven.Model", 1, 0, "LauncherPhase",
                                   QStringLiteral("LauncherPhase is an enumeration"));
}

GlowImages* LauncherWindow::startPictures(const Theme& theme, QSize size,
                                          const std::filesystem::path& savedIn) {
  SymbolIcon::readAhead();
  const std::vector<Theme::Picture> early = theme.firstFrame(size);
  auto* pictures = new GlowImages(theme.logo(), theme.tunnel());
  if (!savedIn.empty()) {
    QStringList ids;
    for (const Theme::Picture& picture : early) ids << picture.id;
    pictures->saveIn(savedIn, ids);
  }
  for (const Theme::Picture& picture : early) pictures->startEarly(picture.id, picture.requested);
  return pictures;
}

LauncherWindow::LauncherWindow(LauncherModel& model, Theme& theme, GlowImages* pictures, QSize size,
                               QWindow* parent)
    : QQuickView(parent),
      pictures_(pictures ? pictures : new GlowImages(theme.logo(), theme.tunnel())) {
  prepareApplication();
  setTitle(QStringLiteral("Quellhaven"));
  setColor(Theme::bgBottom());
  setMinimumSize({Theme::minWidth(), Theme::minHeight()});
  setMaximumSize({Theme::maxWidth(), Theme::maxHeight()});
  // Sized before the view loads, and the view made at that size, so it asks
  // for its pictures at this size only.
  const QSize initial = size.isEmpty() ? QSize(Theme::width(), Theme::height()) : size;
  resize(initial);
  setInitialProperties(
      {{QStringLiteral("width"), initial.width()}, {QStringLiteral("height"), initial.height()}});
  setResizeMode(QQuickView::SizeRootObjectToView);
  engine()->addImageProvider(Theme::pictureProvider(), pictures_);
  rootContext()->setContextProperty(QStringLiteral("launcher"), &model);
  rootContext()->setContextProperty(QStringLiteral("theme"), &theme);
  connect(engine(), &QQmlEngine::warnings, this, [](const QList<QQmlError>& warnings) {
    for (const QQmlError& w : warnings) Log::line("window: " + w.toString().toStdString());
  });
  setSource(QUrl(QStringLiteral("qrc:/qh/Quellhaven/Ui/LauncherView.qml")));
  for (const QQmlError& e : errors()) Log::line("window: " + e.toString().toStdString());
}

LauncherWindow::~LauncherWindow() {
  // A picture still in the making (a backdrop for the last size) must not
  // be drawn after the application is gone.
  pictures_->stop();
}

namespace {

// QQuickImageBase::Status::Loading; the class is private to Qt Quick.
constexpr int loadingStatus = 2;

void forEachPicture(QQuickItem* item, const std::function<void(QQuickItem*)>& visit) {
  if (!item) return;
  if (item->inherits("QQuickImageBase")) visit(item);
  for (QQuickItem* child : item->childItems()) forEachPicture(child, visit);
}

}  // namespace

QObject* LauncherWindow::find(const QString& objectName) const {
  QQuickItem* root = rootObject();
  if (!root) return nullptr;
  if (root->objectName() == objectName) return root;
  return root->findChild<QObject*>(objectName);
}

bool LauncherWindow::picturesLoading() const {
  bool loading = false;
  forEachPicture(rootObject(), [&loading](QQuickItem* picture) {
    loading = loading || picture->property("status").toInt() == loadingStatus;
  });
  return loading;
}

void LauncherWindow::showWhenLoaded(int limitMs) {
  if (!picturesLoading()) {
    show();
    return;
  }
  // Queued: a picture that arrives can start another (the logo's glow waits
  // for the logo), and its binding has run by the time this checks.
  const QMetaMethod check = metaObject()->method(metaObject()->indexOfSlot("showIfLoaded()"));
  forEachPicture(rootObject(), [this, &check](QQuickItem* picture) {
    const QMetaObject* meta = picture->metaObject();
    const QMetaMethod changed = meta->property(meta->indexOfProperty("status")).notifySignal();
    connect(picture, changed, this, check, Qt::QueuedConnection);
  });
  showLimit_ = new QTimer(this);
  showLimit_->setSingleShot(true);
  connect(showLimit_, &QTimer::timeout, this, [this] {
    Log::line("window: shown before its pictures were in");
    showIfLoaded();
  });
  showLimit_->start(limitMs);
}

void LauncherWindow::showIfLoaded() {
  if (!showLimit_ || (showLimit_->isActive() && picturesLoading())) return;
  showLimit_->stop();
  showLimit_->deleteLater();
  showLimit_ = nullptr;
  forEachPicture(rootObject(),
                 [this](QQuickItem* picture) { disconnect(picture, nullptr, this, nullptr); });
  show();
}

}  // namespace qh
