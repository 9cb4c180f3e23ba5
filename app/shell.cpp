#include "app/shell.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QPointer>
#include <QQuickWindow>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <memory>

#include "core/log.h"
#include "platform/platform.h"
#include "ui/theme.h"

namespace qh::Shell {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here; the event loop does the rest.
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

void storeFrame(const QWindow& window) {
  // A minimised or full-screen window's geometry is not the frame to reopen with.
  if (window.windowStates() != Qt::WindowNoState || !window.geometry().isValid()) return;
  QSettings settings;
  settings.setValue(frameKey, window.geometry());
  settings.sync();
}

}  // namespace

QRect initialFrame(std::optional<QRect> saved, const QRect& screen) {
  const QSize design(Theme::width(), Theme::height());
  if (saved && saved->isValid()) {
    QRect frame = *saved;
    frame.setWidth(std::clamp(frame.width(), Theme::minWidth(), Theme::maxWidth()));
    frame.setHeight(std::clamp(frame.height(), Theme::minHeight(), Theme::maxHeight()));
    // A frame left on a screen that is gone would open the window out of reach.
    const QRect visible = frame.intersected(screen);
    if (visible.width() >= 100 && visible.height() >= 50) return frame;
  }
  QRect frame(QPoint(0, 0), design);
  frame.moveCenter(screen.center());
  return frame;
}

std::filesystem::path picturesFolder() {
  const QString caches = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (caches.isEmpty()) return {};
  return std::filesystem::path(caches.toStdString()) / "pictures";
}

QRect savedFrame(QScreen* screen) {
  std::optional<QRect> saved;
  const QVariant value = QSettings().value(frameKey);
  if (value.canConvert<QRect>()) saved = value.toRect();
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
  return initialFrame(saved, available);
}

void rememberFrame(QWindow& window) {
  auto* settle = new QTimer(&window);
  settle->setSingleShot(true);
  settle->setInterval(400);
  QObject::connect(settle, &QTimer::timeout, &window, [&window] { storeFrame(window); });
  for (auto signal :
       {&QWindow::xChanged, &QWindow::yChanged, &QWindow::widthChanged, &QWindow::heightChanged})
    QObject::connect(&window, signal, settle, qOverload<>(&QTimer::start));
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, &window,
                   [&window] { storeFrame(window); });
}

void installMenu(QWindow& window) {
  if (Platform::installMainMenu("Quellhaven")) return;
  auto bind = [&window](const QKeySequence& keys, auto action) {
    auto* shortcut = new QShortcut(keys, &window);
    shortcut->setContext(Qt::ApplicationShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &window, action);
  };
  bind(QKeySequence::Quit, [] { QCoreApplication::quit(); });
  bind(QKeySequence(Qt::CTRL | Qt::Key_Q), [] { QCoreApplication::quit(); });
  bind(QKeySequence(Qt::CTRL | Qt::Key_W), [&window] { window.close(); });
  bind(QKeySequence(Qt::CTRL | Qt::Key_M), [&window] { window.showMinimized(); });
  bind(QKeySequence(Qt::CTRL | Qt::Key_H), [&window] { window.showMinimized(); });
}

void styleWindow(QWindow& window) {
  Platform::styleLauncherWindow(static_cast<uintptr_t>(window.winId()));
}

void bringBack(QWindow& window) {
  if (window.windowStates() & Qt::WindowMinimized) window.showNormal();
  if (!window.isVisible()) window.show();
  window.raise();
  window.requestActivate();
}

void reopenOnRequest(QWindow& window) {
  const QPointer<QWindow> target(&window);
  if (Platform::onReopenRequest([target] {
        if (target) bringBack(*target);
      }))
    return;
  QObject::connect(qApp, &QGuiApplication::applicationStateChanged, &window,
                   [&window](Qt::ApplicationState state) {
                     if (state != Qt::ApplicationActive) return;
                     if (window.isVisible() && !(window.windowStates() & Qt::WindowMinimized))
                       return;
                     bringBack(window);
                   });
}

void showPanelHints() {
  Platform::showPanelTitlesAsMessages();
}

void quitOnTerminate() {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
    char byte;
    [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
    Log::line("quitting on a termination signal");
    QCoreApplication::quit();
  });
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

void logFirstFrame(QQuickWindow& window, QElapsedTimer sinceStart) {
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection =
      QObject::connect(&window, &QQuickWindow::frameSwapped, &window, [connection, sinceStart] {
        QObject::disconnect(*connection);
        Log::line("first frame shown after " + std::to_string(sinceStart.elapsed()) + " ms");
      });
}

void startAfterFirstFrame(QQuickWindow& window, std::function<void()> start, int fallbackMs) {
  auto pending = std::make_shared<std::function<void()>>(std::move(start));
  auto runOnce = [pending] {
    if (!*pending) return;
    const std::function<void()> run = std::move(*pending);
    *pending = nullptr;
    run();
  };
  auto connection = std::make_shared<QMetaObject::Connection>();
  *connection =
      QObject::connect(&window, &QQuickWindow::frameSwapped, &window, [connection, runOnce] {
        QObject::disconnect(*connection);
        runOnce();
      });
  QTimer::singleShot(fallbackMs, &window, runOnce);
}

}  // namespace qh::Shell
