// Makes a folder unchangeable while alive, even for root: nothing can be
// added to it, renamed in it or removed from it (so it cannot be removed
// either while it holds something). Immutable where the file system allows,
// for root; without write permission otherwise.
#pragma once

#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include <filesystem>

namespace qh {

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::filesystem::path& dir) : dir_(dir) {
    if (::geteuid() != 0) {
      std::filesystem::permissions(dir_, writeBits, std::filesystem::perm_options::remove);
      done_ = true;
    } else {
      done_ = setImmutable(true);
    }
  }
  ~ReadOnlyFolder() {
    if (::geteuid() == 0) {
      if (done_) setImmutable(false);
    } else {
      std::filesystem::permissions(dir_, std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add);
    }
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  // False when this file system offers no way to do it.
  bool done() const { return done_; }

 private:
  static constexpr auto writeBits = std::filesystem::perms::owner_write |
                                    std::filesystem::perms::group_write |
                                    std::filesystem::perms::others_write;

  bool setImmutable(bool on) {
#ifndef __linux__
    // Elsewhere root is refused nothing here; done() says so.
    (void)on;
    return false;
#else
    const int fd = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
#endif
  }

  std::filesystem::path dir_;
  bool done_ = false;
};

}  // namespace qh
