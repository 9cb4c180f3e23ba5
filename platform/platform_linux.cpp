#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"

namespace platform {

std::filesystem::path applicationSupportDir() {
  // The XDG rules: a relative value is invalid and ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return xdg;
  return homeDir() / ".local" / "share";
}

}  // namespace platform

// --- Compatibility layer ---

namespace platform {

// Rosetta 2 exists only on macOS; nothing on Linux asks for it.
bool isAppleSilicon() {
  return false;
}

// Linux file systems carry no download quarantine.
void clearQuarantine(const std::filesystem::path&) {}

std::filesystem::path tarPath() {
  // Merged-/usr systems have both; older ones only /bin/tar.
  if (::access("/usr/bin/tar", X_OK) == 0) return "/usr/bin/tar";
  return "/bin/tar";
}

int limitSpawnInheritance(posix_spawnattr_t*, posix_spawn_file_actions_t* actions) {
  return posix_spawn_file_actions_addclosefrom_np(actions, 3);
}

}  // namespace platform
