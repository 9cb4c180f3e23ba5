// Functions whose POSIX implementation serves both macOS and Linux.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"

namespace qh::Platform {

std::filesystem::path homeDir() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

}  // namespace qh::Platform
