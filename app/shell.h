// The application shell's pieces, each wired by main() in turn: the window's
// saved frame, menu and shortcuts, reopening, orderly quitting.
// Thread-safety: main thread only.
#pragma once

#include <QElapsedTimer>
#include <QRect>
#include <filesystem>
#include <functional>
#include <optional>

class QQuickWindow;
class QScreen;
class QWindow;

namespace qh::Shell {

// The user-defaults key the window's frame is kept under.
inline constexpr const char* frameKey = "QuellhavenLauncherWindow";

// The frame to open with: `saved` with its size held within the window's
// limits when it still shows on `screen` (available area), else the design
// size centred on `screen`.
QRect initialFrame(std::optional<QRect> saved, const QRect& screen);

// Where the window's pictures are kept between starts: "pictures" in the
// system's cache folder for the launcher.
std::filesystem::path picturesFolder();

// The frame to open the window with on `screen` (the primary screen when
// null), by initialFrame() and the frame stored under frameKey.
QRect savedFrame(QScreen* screen = nullptr);
// Stores the frame whenever a move or resize settles, and when the app quits.
void rememberFrame(QWindow& window);
// The native main menu where there is one; otherwise the same shortcuts
// (Quit, Close, Minimize, Hide) bound to the window.
void installMenu(QWindow& window);
// Gives the window its native look (transparent title bar on macOS).
void styleWindow(QWindow& window);
// Brings `window` back: restored when minimised, shown when hidden or
// closed, in front and focused.
void bringBack(QWindow& window);
// A click on the Dock icon brings the window back (bringBack) whatever its
// state, while other activations leave a minimised window alone. Without a
// Dock (Linux) the application becoming active brings a minimised or hidden
// window back.
void reopenOnRequest(QWindow& window);
// The folder panel shows its title as its message where a panel's title is
// not shown (macOS).
void showPanelHints();
// SIGTERM and SIGINT quit through the event loop, so the frame is stored.
void quitOnTerminate();
// Logs how long after `sinceStart` the first frame was shown.
void logFirstFrame(QQuickWindow& window, QElapsedTimer sinceStart);
// Runs `start` once, as soon as the window's first frame has been shown, so
// start-up work never delays it; after `fallbackMs` without a frame (a window
// that is never exposed) it runs anyway.
void startAfterFirstFrame(QQuickWindow& window, std::function<void()> start, int fallbackMs = 2000);

}  // namespace qh::Shell
