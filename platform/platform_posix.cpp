// Functions whose POSIX implementation serves both macOS and Linux.
#include <fcntl.h>
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

void adviseSequentialRead(int fd) {
#ifdef __linux__
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#else
  // macOS reads ahead on every descriptor unless told otherwise (F_RDAHEAD).
  (void)fd;
#endif
}

void adviseDoneReading(int fd, int64_t offset, int64_t length) {
#ifdef __linux__
  ::posix_fadvise(fd, offset, length, POSIX_FADV_DONTNEED);
#else
  // macOS has no such hint; its cache ages the pages out as usual.
  (void)fd, (void)offset, (void)length;
#endif
}

UniqueFd openFolderForLookup(const std::filesystem::path& folder) {
#ifdef __linux__
  return UniqueFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
#else
  return UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#endif
}

}  // namespace qh::Platform
