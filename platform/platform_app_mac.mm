// The launcher's visibility while the game runs.
#import <AppKit/AppKit.h>

#include "platform/platform.h"

namespace qh::Platform {

void hideApplication() {
  [NSApp hide:nil];
}

void unhideApplication() {
  [NSApp unhide:nil];
}

void activateApplication() {
  [NSApp activateIgnoringOtherApps:YES];
}

}  // namespace qh::Platform
