// The thin operating-system layer: everything the flows ask of macOS or Linux.
// One implementation per OS is chosen by the build; callers never #ifdef.
// Thread-safety: every function may be called from any thread unless noted.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

#include "platform/joining_thread.h"
#include "platform/unique_fd.h"

namespace qh::Platform {

// The user's home folder ($HOME, else the password database).
std::filesystem::path homeDir();

// The per-user folder that holds the support folder: Application Support on
// macOS, $XDG_DATA_HOME (default ~/.local/share) on Linux.
std::filesystem::path applicationSupportDir();

// --- Files ---

// Tells the system that `fd` is about to be read once from start to end, so it
// reads further ahead. Only a hint: where there is none, nothing happens.
void adviseSequentialRead(int fd);

// Tells the system that bytes [offset, offset + length) of `fd` will not be
// read again, so their cached pages are the first to be reused. Only a hint.
void adviseDoneReading(int fd, int64_t offset, int64_t length);

// Opens `folder` only to look names up in it (fstatat); holds -1 when it
// cannot be opened. Linux needs no read permission on the folder for this.
UniqueFd openFolderForLookup(const std::filesystem::path& folder);

// --- Compatibility layer: runtime unpacking, Rosetta 2, child processes ---

// True on an Apple Silicon Mac ("hw.optional.arm64" reads 1); false elsewhere.
bool isAppleSilicon();

// Removes the download quarantine from `dir` and everything below it. Nothing
// to do where downloads carry no quarantine. Failures are ignored.
void clearQuarantine(const std::filesystem::path& dir);

// The system tar, by absolute path.
std::filesystem::path tarPath();

// --- Launcher window shell (used by app/) ---
// Main thread only.

// Gives the launcher window its native look, given its native view handle
// (QWindow::winId()): transparent title bar with the title hidden, content
// beneath it, movable by its background, dark appearance. Linux: nothing.
void styleLauncherWindow(uintptr_t nativeView);

// Starts reading the system's font configuration on a thread of its own while
// the application object and the window are made, so the window's first text
// finds it ready. Call first thing, and join the returned thread before the
// first text is laid out: the configuration it makes becomes the process's
// only if Qt has not loaded its own by then. macOS: nothing to read ahead (no
// thread; joining it returns at once).
JoiningThread readFontsAhead();

// Runs `reopen` on the main thread each time the user asks the running
// application to reopen it: a click on its Dock icon, whether a window shows
// or not. Returns false where there is no such request (Linux); the caller
// then reopens on activation instead. Call before the event loop runs.
bool onReopenRequest(std::function<void()> reopen);

// From now on every folder panel shows its title as its message, above the
// folders: macOS shows no title on a panel. Linux: nothing (the title shows).
void showPanelTitlesAsMessages();

// True where the settings live in the preferences domain the bundle
// identifier names (macOS); elsewhere they are filed under the organisation
// and application names.
#ifdef __APPLE__
inline constexpr bool settingsUnderBundleIdentifier = true;
#else
inline constexpr bool settingsUnderBundleIdentifier = false;
#endif

// Installs the application ("About", "Hide", "Quit" + `appName`), "Edit" (Cut,
// Copy, Paste, Select All) and "Window" (Minimize, Close) menus with their
// standard key equivalents as the main menu. Returns false where the platform
// has no main menu (Linux); the caller then binds the same shortcuts itself.
bool installMainMenu(const std::string& appName);

// --- Launcher bundle and self-update ---
// A bundle is "<Name>.app/Contents/{MacOS/<executable>, Resources/, Info.plist}"
// on both systems.

// The bundle the launcher runs from; nullopt when its executable is not inside
// one (a development build started from the build folder, on Linux).
std::optional<std::filesystem::path> runningBundle();
// The running bundle's identifier; nullopt when it has none.
std::optional<std::string> runningBundleIdentifier();
// The running bundle's "Contents/Resources" (the shim lives in "shim/");
// nullopt when the launcher runs outside a bundle.
std::optional<std::filesystem::path> resourcesDir();

struct BundleInfo {
  // CFBundleIdentifier; nullopt when the bundle names none.
  std::optional<std::string> identifier;
  // The file CFBundleExecutable names in Contents/MacOS.
  std::filesystem::path executable;
};
// Opens the bundle at `bundle`; nullopt when it is not a folder or has no
// executable file.
std::optional<BundleInfo> openBundle(const std::filesystem::path& bundle);

// True when the user may create and delete entries in `folder`.
bool isWritable(const std::filesystem::path& folder);

// Unpacks the zip archive `zip` into the folder `into` with the system's tool
// ("/usr/bin/ditto -x -k" on macOS, "/usr/bin/bsdtar" on Linux), after
// streaming it once to count the bytes it unpacks to. Returns 0 on success,
// the tool's non-zero exit status, or -1 when a tool could not be started or
// the archive unpacks to more than `maxBytes` (nothing is unpacked then;
// callers pass what the archive's directory declares, so a lying archive stops
// after that many bytes). Blocks: call it on a worker.
int unzip(const std::filesystem::path& zip, const std::filesystem::path& into, int64_t maxBytes);

// Starts "/bin/sh" detached (new session, no inherited descriptors, output to
// the null device) with a script that waits a second, deletes `backup` and
// opens a new instance of the bundle at `bundle` ("/usr/bin/open -n" on macOS,
// the bundle's executable on Linux). Returns the error when it cannot start.
std::error_code startRelaunch(const std::filesystem::path& backup,
                              const std::filesystem::path& bundle);

// Asks the application to quit, through a queued call on the main thread.
void terminate();
// True once terminate() was called in this process.
bool terminationRequested();

// --- Game launch: the launcher while the game runs ---

// Hide the launcher, show it again, bring it to the front ignoring other
// applications. Main thread only. Without a graphical application they do nothing.
void hideApplication();
void unhideApplication();
void activateApplication();

}  // namespace qh::Platform
