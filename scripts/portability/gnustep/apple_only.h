// Declarations the Objective-C++ check needs that GNUstep's Foundation and
// AppKit lack: macOS API newer than GNUstep follows, each declared as the
// Apple documentation page named beside it gives it. Only the check reads
// this file; docs/macos.md lists every Apple call with the same page.
#import <AppKit/AppKit.h>
#include <CoreServices/CoreServices.h>
#import <Foundation/Foundation.h>

// GNUstep's nil is (id)0, which no SEL parameter takes; Apple's converts.
#undef nil
#define nil nullptr

// developer.apple.com/documentation/foundation/nsurl/fileurlwithfilesystemrepresentation(_:isdirectory:relativeto:)
// developer.apple.com/documentation/foundation/nsurl/filesystemrepresentation
@interface NSURL (AppleOnly)
+ (NSURL*)fileURLWithFileSystemRepresentation:(const char*)path
                                  isDirectory:(BOOL)isDir
                                relativeToURL:(NSURL*)baseURL;
@property(readonly) const char* fileSystemRepresentation;
@end

// developer.apple.com/documentation/foundation/filemanager/urls(for:in:)
@interface NSFileManager (AppleOnly)
- (NSArray<NSURL*>*)URLsForDirectory:(NSSearchPathDirectory)directory
                           inDomains:(NSSearchPathDomainMask)domainMask;
@end

// developer.apple.com/documentation/appkit/nswindow/stylemask
// developer.apple.com/documentation/appkit/nswindow/titlebarappearstransparent
// developer.apple.com/documentation/appkit/nswindow/titlevisibility
// developer.apple.com/documentation/appkit/nsappearancecustomization/appearance
typedef NS_ENUM(NSInteger, NSWindowTitleVisibility) {
  NSWindowTitleVisible = 0,
  NSWindowTitleHidden = 1,
};
@interface NSWindow (AppleOnly)
@property NSUInteger styleMask;
@property BOOL titlebarAppearsTransparent;
@property NSWindowTitleVisibility titleVisibility;
@property(retain) NSAppearance* appearance;
@end

// macOS's <spawn.h>: posix_spawnattr_setflags(3) in macOS's manual pages.
#define POSIX_SPAWN_CLOEXEC_DEFAULT 0x4000

// developer.apple.com/documentation/foundation/nsappleeventmanager/1416124-seteventhandler
// developer.apple.com/documentation/foundation/nsappleeventmanager/1409284-sharedappleeventmanager
@interface NSAppleEventManager (AppleOnly)
+ (NSAppleEventManager*)sharedAppleEventManager;
- (void)setEventHandler:(id)handler
            andSelector:(SEL)handleEventSelector
          forEventClass:(AEEventClass)eventClass
             andEventID:(AEEventID)eventID;
@end
