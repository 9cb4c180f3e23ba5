#import <Foundation/Foundation.h>

#include "platform/platform.h"

namespace platform {

std::filesystem::path applicationSupportDir() {
  NSArray<NSURL*>* urls =
      [[NSFileManager defaultManager] URLsForDirectory:NSApplicationSupportDirectory
                                             inDomains:NSUserDomainMask];
  if (urls.count > 0) return urls.firstObject.fileSystemRepresentation;
  return homeDir() / "Library" / "Application Support";
}

}  // namespace platform
