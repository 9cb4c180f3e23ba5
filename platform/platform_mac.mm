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

// --- Compatibility layer ---

#include <spawn.h>
#include <sys/sysctl.h>
#include <sys/xattr.h>

namespace platform {

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

int limitSpawnInheritance(posix_spawnattr_t* attr, posix_spawn_file_actions_t*) {
  // With this flag only descriptors named by the file actions survive exec.
  short flags = 0;
  if (int err = posix_spawnattr_getflags(attr, &flags); err != 0) return err;
  return posix_spawnattr_setflags(attr, flags | POSIX_SPAWN_CLOEXEC_DEFAULT);
}

}  // namespace platform
