#import <AppKit/AppKit.h>
#import <CoreServices/CoreServices.h>
#import <Foundation/Foundation.h>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace fs = std::filesystem;

// Receives the reopen request ("rapp") the Dock sends when its icon is
// clicked. Qt answers it by reporting the application active, which it also
// does on every other activation, so the request is taken before Qt sees it.
@interface QHReopenHandler : NSObject {
 @public
  std::function<void()> reopen;
}
- (void)applicationDidFinishLaunching:(NSNotification*)notification;
- (void)handleReopen:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)reply;
@end

@implementation QHReopenHandler
- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  (void)notification;
  // AppKit installs its own handler while launching; this one, installed
  // after, takes its place.
  [[NSAppleEventManager sharedAppleEventManager] setEventHandler:self
                                                     andSelector:@selector(handleReopen:
                                                                         withReplyEvent:)
                                                   forEventClass:kCoreEventClass
                                                      andEventID:kAEReopenApplication];
}

- (void)handleReopen:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)reply {
  (void)event;
  (void)reply;
  if (reopen) reopen();
}
@end

// Gives an open panel its title as its message when it becomes key: Qt
// sets the title, which macOS does not show.
@interface QHPanelMessages : NSObject
- (void)windowDidBecomeKey:(NSNotification*)notification;
@end

@implementation QHPanelMessages
- (void)windowDidBecomeKey:(NSNotification*)notification {
  id window = notification.object;
  if (![window isKindOfClass:[NSOpenPanel class]]) return;
  NSOpenPanel* panel = window;
  if (panel.message.length == 0 && panel.title.length > 0) panel.message = panel.title;
}
@end

namespace qh::Platform {

std::filesystem::path applicationSupportDir() {
  NSArray<NSURL*>* urls =
      [[NSFileManager defaultManager] URLsForDirectory:NSApplicationSupportDirectory
                                             inDomains:NSUserDomainMask];
  if (urls.count > 0) return urls.firstObject.fileSystemRepresentation;
  return homeDir() / "Library" / "Application Support";
}

namespace {

NSMenuItem* addItem(NSMenu* menu, NSString* title, SEL action, NSString* key) {
  return [menu addItemWithTitle:title action:action keyEquivalent:key];
}

NSMenuItem* submenuItem(NSMenu* bar, NSMenu* menu) {
  NSMenuItem* item = [[[NSMenuItem alloc] initWithTitle:menu.title action:nil
                                          keyEquivalent:@""] autorelease];
  item.submenu = menu;
  [bar addItem:item];
  return item;
}

}  // namespace

// Core Text needs no configuration read ahead.
JoiningThread readFontsAhead() {
  return {};
}

void styleLauncherWindow(uintptr_t nativeView) {
  NSView* view = reinterpret_cast<NSView*>(nativeView);
  NSWindow* window = view.window;
  if (!window) return;
  window.styleMask |= NSWindowStyleMaskFullSizeContentView;
  window.titlebarAppearsTransparent = YES;
  window.titleVisibility = NSWindowTitleHidden;
  window.movableByWindowBackground = YES;
  window.appearance = [NSAppearance appearanceNamed:NSAppearanceNameDarkAqua];
}

bool onReopenRequest(std::function<void()> reopen) {
  static QHReopenHandler* handler = nil;
  if (!handler) {
    handler = [[QHReopenHandler alloc] init];
    [[NSNotificationCenter defaultCenter] addObserver:handler
                                             selector:@selector(applicationDidFinishLaunching:)
                                                 name:NSApplicationDidFinishLaunchingNotification
                                               object:nil];
  }
  handler->reopen = std::move(reopen);
  return true;
}

void showPanelTitlesAsMessages() {
  static QHPanelMessages* messages = nil;
  if (messages) return;
  messages = [[QHPanelMessages alloc] init];
  [[NSNotificationCenter defaultCenter] addObserver:messages
                                           selector:@selector(windowDidBecomeKey:)
                                               name:NSWindowDidBecomeKeyNotification
                                             object:nil];
}

bool installMainMenu(const std::string& appName) {
  NSString* name = [NSString stringWithUTF8String:appName.c_str()];
  NSMenu* bar = [[[NSMenu alloc] initWithTitle:@""] autorelease];

  NSMenu* app = [[[NSMenu alloc] initWithTitle:@""] autorelease];
  addItem(app, [@"About " stringByAppendingString:name], @selector(orderFrontStandardAboutPanel:),
          @"");
  [app addItem:[NSMenuItem separatorItem]];
  addItem(app, [@"Hide " stringByAppendingString:name], @selector(hide:), @"h");
  [app addItem:[NSMenuItem separatorItem]];
  addItem(app, [@"Quit " stringByAppendingString:name], @selector(terminate:), @"q");
  submenuItem(bar, app);

  // A nil target sends these to the first responder, the focused text field.
  NSMenu* edit = [[[NSMenu alloc] initWithTitle:@"Edit"] autorelease];
  addItem(edit, @"Cut", @selector(cut:), @"x");
  addItem(edit, @"Copy", @selector(copy:), @"c");
  addItem(edit, @"Paste", @selector(paste:), @"v");
  addItem(edit, @"Select All", @selector(selectAll:), @"a");
  submenuItem(bar, edit);

  NSMenu* window = [[[NSMenu alloc] initWithTitle:@"Window"] autorelease];
  addItem(window, @"Minimize", @selector(performMiniaturize:), @"m");
  addItem(window, @"Close", @selector(performClose:), @"w");
  submenuItem(bar, window);

  NSApp.mainMenu = bar;
  NSApp.windowsMenu = window;
  return true;
}

}  // namespace qh::Platform

// --- Launcher bundle and self-update ---

namespace qh::Platform {
namespace detail {

std::optional<fs::path> mainBundle() {
  @autoreleasepool {
    NSURL* url = [[NSBundle mainBundle] bundleURL];
    if (!url) return std::nullopt;
    return fs::path(url.fileSystemRepresentation);
  }
}

std::optional<std::string> mainBundleIdentifier() {
  @autoreleasepool {
    NSString* identifier = [[NSBundle mainBundle] bundleIdentifier];
    if (!identifier) return std::nullopt;
    return std::string(identifier.UTF8String);
  }
}

int extractZip(const fs::path& zip, const fs::path& into) {
  return Process::run(toolRequest("/usr/bin/ditto", {"-x", "-k", zip.string(), into.string()}));
}

std::vector<std::string> relaunchArguments(const fs::path& backup, const fs::path& bundle) {
  return {"-c", "sleep 1; rm -rf \"$1\"; /usr/bin/open -n \"$2\"", "sh", backup.string(),
          bundle.string()};
}

}  // namespace detail

std::optional<BundleInfo> openBundle(const fs::path& bundle) {
  @autoreleasepool {
    NSURL* url = [NSURL fileURLWithFileSystemRepresentation:bundle.c_str()
                                                isDirectory:YES
                                              relativeToURL:nil];
    NSBundle* b = url ? [NSBundle bundleWithURL:url] : nil;
    // A bundle opened from a folder without its executable is no launcher.
    NSURL* exe = b ? [b executableURL] : nil;
    if (!exe || ![[NSFileManager defaultManager] isExecutableFileAtPath:exe.path]) {
      return std::nullopt;
    }
    BundleInfo info;
    info.executable = exe.fileSystemRepresentation;
    if (NSString* identifier = [b bundleIdentifier]) info.identifier = identifier.UTF8String;
    return info;
  }
}

bool isWritable(const fs::path& folder) {
  @autoreleasepool {
    NSString* path = [NSString stringWithUTF8String:folder.c_str()];
    return path && [[NSFileManager defaultManager] isWritableFileAtPath:path];
  }
}

}  // namespace qh::Platform

// --- Compatibility layer ---

#include <spawn.h>
#include <sys/sysctl.h>
#include <sys/xattr.h>

namespace qh::Platform {

bool isAppleSilicon() {
  int value = 0;
  size_t size = sizeof value;
  if (sysctlbyname("hw.optional.arm64", &value, &size, nullptr, 0) != 0) return false;
  return value == 1;
}

void clearQuarantine(const std::filesystem::path& dir) {
  // What "xattr -dr com.apple.quarantine" does: the attribute goes from the
  // folder and every entry below it, links themselves rather than their targets.
  static const char* const name = "com.apple.quarantine";
  removexattr(dir.c_str(), name, XATTR_NOFOLLOW);
  std::error_code ec;
  for (std::filesystem::recursive_directory_iterator it(dir, ec), end; !ec && it != end;
       it.increment(ec)) {
    removexattr(it->path().c_str(), name, XATTR_NOFOLLOW);
  }
}

std::filesystem::path tarPath() {
  return "/usr/bin/tar";
}

int detail::limitSpawnInheritance(posix_spawnattr_t* attr, posix_spawn_file_actions_t*) {
  // With this flag only descriptors named by the file actions survive exec.
  short flags = 0;
  if (int err = posix_spawnattr_getflags(attr, &flags); err != 0) return err;
  return posix_spawnattr_setflags(attr, flags | POSIX_SPAWN_CLOEXEC_DEFAULT);
}

}  // namespace qh::Platform
