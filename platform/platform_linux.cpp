#include <cstdlib>

#include "platform/platform.h"

namespace platform {

std::filesystem::path applicationSupportDir() {
  // The XDG rules: a relative value is invalid and ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return xdg;
  return homeDir() / ".local" / "share";
}

}  // namespace platform
