#include "core/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>

#include "core/text.h"
#include "platform/system_error.h"

namespace qh::Files {
namespace {

std::string tempName(const std::filesystem::path& file) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 rng{std::random_device{}()};
  std::string name(1, '.');
  name += file.filename().string();
  name += ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
          std::to_string(rng() % 100000);
  return name;
}

}  // namespace

std::optional<std::string> read(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  // One allocation for what the size promises; a file that grows meanwhile
  // is read on to its end all the same.
  std::string bytes;
  bytes.resize(S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0);
  size_t filled = 0;
  char more[64 * 1024];
  for (;;) {
    const bool full = filled == bytes.size();
    const ssize_t n = full ? ::read(fd, more, sizeof more)
                           : ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    if (full) bytes.append(more, static_cast<size_t>(n));
    filled += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(filled);
  return bytes;
}

std::optional<std::string> readUtf8(const std::filesystem::path& file) {
  auto bytes = read(file);
  if (!bytes || !Text::isValidUtf8(*bytes)) return std::nullopt;
  return bytes;
}

std::error_code writeAtomic(const std::filesystem::path& file, std::string_view bytes) {
  const std::filesystem::path tmp = file.parent_path() / tempName(file);
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return lastSystemError();
  std::error_code err;
  for (size_t done = 0; done < bytes.size() && !err;) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno != EINTR) err = lastSystemError();
    if (n > 0) done += static_cast<size_t>(n);
  }
  if (!err && ::fsync(fd) != 0) err = lastSystemError();
  if (::close(fd) != 0 && !err) err = lastSystemError();
  if (!err && ::rename(tmp.c_str(), file.c_str()) != 0) err = lastSystemError();
  if (err) ::unlink(tmp.c_str());
  return err;
}

namespace {

// `path` with every link on its way resolved and the part that does not
// exist taken as written. weakly_canonical takes a link to nowhere as written
// too, and one leading out would then pass for a name inside: it is followed
// here. Below what exists only the first missing name can be a link.
std::filesystem::path resolved(std::filesystem::path path, std::error_code& ec) {
  for (int links = 0; links < 40; ++links) {
    const std::filesystem::path done = std::filesystem::weakly_canonical(path, ec);
    if (ec) return {};
    if (std::filesystem::exists(std::filesystem::status(done, ec))) return done;
    std::filesystem::path prefix;
    auto name = done.begin();
    for (; name != done.end(); ++name) {
      prefix /= *name;
      if (!std::filesystem::exists(std::filesystem::status(prefix, ec))) break;
    }
    if (name == done.end() ||
        !std::filesystem::is_symlink(std::filesystem::symlink_status(prefix, ec))) {
      ec.clear();
      return done;
    }
    const std::filesystem::path target = std::filesystem::read_symlink(prefix, ec);
    if (ec) return {};
    path = prefix.parent_path() / target;
    for (++name; name != done.end(); ++name) path /= *name;
  }
  ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return {};
}

// Where `path` resolves against `root`: -1 outside (or unresolvable), 0 at
// `root` itself, 1 below it.
int placeOf(const std::filesystem::path& root, const std::filesystem::path& path) {
  std::error_code ec;
  std::string top = resolved(root, ec).string();
  if (ec || top.empty()) return -1;
  std::string resolvedPath = resolved(path, ec).string();
  if (ec) return -1;
  for (std::string* p : {&top, &resolvedPath}) {
    while (p->size() > 1 && p->back() == '/') p->pop_back();
  }
  if (resolvedPath == top) return 0;
  if (top == "/") return 1;
  const bool below = resolvedPath.size() > top.size() &&
                     resolvedPath.compare(0, top.size(), top) == 0 &&
                     resolvedPath[top.size()] == '/';
  return below ? 1 : -1;
}

}  // namespace

bool resolvesInside(const std::filesystem::path& root, const std::filesystem::path& path) {
  return placeOf(root, path) >= 0;
}

bool resolvesBelow(const std::filesystem::path& root, const std::filesystem::path& path) {
  return placeOf(root, path) > 0;
}

}  // namespace qh::Files
