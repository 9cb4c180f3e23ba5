#include "model/diagnostics_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/system_error.h"
#include "platform/unique_fd.h"

namespace qh::Diagnostics {

namespace fs = std::filesystem;

namespace {

// `text` holds one byte more than `cap` allows: its first line is dropped, so
// what is left starts at a line's start and fits. A text without a line
// break before its end keeps its last `cap` bytes.
std::string wholeLines(const std::string& text, size_t cap) {
  const size_t newline = text.find('\n');
  if (newline == std::string::npos || newline + 1 == text.size())
    return text.substr(text.size() - std::min(text.size(), cap));
  return text.substr(newline + 1);
}

}  // namespace

Tail readTail(const fs::path& file, int64_t cap) {
  // Non-blocking, so opening a pipe someone left in a log's place returns at once.
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) throw systemError("open", file, lastSystemError());
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throw systemError("stat", file, lastSystemError());
  if (!S_ISREG(st.st_mode))
    throw systemError("read", file, std::make_error_code(std::errc::invalid_argument));
  Tail tail;
  tail.size = st.st_size;
  // One byte before the window tells whether it starts at a line's start.
  const int64_t from = std::max<int64_t>(0, tail.size - cap - 1);
  tail.bytes.resize(static_cast<size_t>(tail.size - from));
  size_t done = 0;
  while (done < tail.bytes.size()) {
    const ssize_t n = ::pread(fd.get(), tail.bytes.data() + done, tail.bytes.size() - done,
                              static_cast<off_t>(from + static_cast<int64_t>(done)));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw systemError("read", file, lastSystemError());
    }
    if (n == 0) break;  // Truncated while being read: what is there is the file.
    done += static_cast<size_t>(n);
  }
  tail.bytes.resize(done);
  if (static_cast<int64_t>(tail.bytes.size()) > cap) {
    tail.cut = true;
    tail.bytes = wholeLines(tail.bytes, static_cast<size_t>(cap));
  }
  return tail;
}

std::string lastLines(std::string text, int64_t cap, bool& cut) {
  if (static_cast<int64_t>(text.size()) <= cap) return text;
  cut = true;
  return wholeLines(text.substr(text.size() - static_cast<size_t>(cap) - 1),
                    static_cast<size_t>(cap));
}

Listing newestFiles(const fs::path& folder, size_t limit) {
  struct Found {
    fs::path file;
    fs::file_time_type written;
  };
  std::vector<Found> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code statEc;
    if (!it->is_regular_file(statEc)) continue;
    const auto written = it->last_write_time(statEc);
    found.push_back({it->path(), statEc ? fs::file_time_type::min() : written});
  }
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.written != b.written ? a.written > b.written : a.file < b.file;
  });
  Listing listing;
  for (const Found& f : found) {
    if (listing.files.size() < limit) {
      listing.files.push_back(f.file);
    } else {
      ++listing.more;
    }
  }
  return listing;
}

}  // namespace qh::Diagnostics
