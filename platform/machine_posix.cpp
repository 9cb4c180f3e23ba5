#include <pwd.h>
#include <unistd.h>

#include "platform/machine.h"

namespace qh::Platform {

int64_t physicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return -1;
  return static_cast<int64_t>(pages) * pageSize;
}

std::string loginName() {
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return pw->pw_name;
  return {};
}

}  // namespace qh::Platform
