// Holds every file this process writes to at most `bytes` while alive: a
// write past the limit fails with EFBIG, as one on a full disk fails with
// ENOSPC, after the file was opened and possibly partly written. The limit is
// the whole process's (RLIMIT_FSIZE) and children inherit it: nothing else
// may write meanwhile.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>

namespace qh {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : signal_(std::signal(SIGXFSZ, SIG_IGN)) {
    if (::getrlimit(RLIMIT_FSIZE, &old_) != 0) std::abort();
    struct rlimit limited = old_;
    limited.rlim_cur = bytes;
    if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) std::abort();
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, signal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_ {};
  void (*signal_)(int);
};

}  // namespace qh
