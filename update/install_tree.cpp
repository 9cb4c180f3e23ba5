#include "update/install_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>

#include "platform/platform.h"

namespace qh {

namespace fs = std::filesystem;

namespace SafePath {

Problem lexicalProblem(std::string_view rel) {
  if (rel.empty()) return Problem::empty;
  if (rel.find('\0') != std::string_view::npos) return Problem::nul;
  if (rel.front() == '/') return Problem::absolute;
  if (rel.size() >= 2 && rel[1] == ':' &&
      ((rel[0] >= 'A' && rel[0] <= 'Z') || (rel[0] >= 'a' && rel[0] <= 'z'))) {
    return Problem::driveLetter;
  }
  size_t start = 0;
  while (true) {
    const size_t slash = rel.find('/', start);
    const std::string_view part = rel.substr(start, slash - start);
    if (part.empty()) return Problem::emptyComponent;
    if (part == ".") return Problem::dotComponent;
    if (part == "..") return Problem::dotDotComponent;
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return Problem::none;
}

std::string_view text(Problem problem) {
  // In the order of the enumeration.
  static constexpr std::string_view texts[] = {
      "no problem",
      "empty path",
      "NUL character in path",
      "absolute path",
      "drive letter in path",
      "empty path component",
      "\".\" path component",
      "\"..\" path component",
      "leads outside the install folder",
  };
  static_assert(std::size(texts) == static_cast<size_t>(Problem::leadsOutside) + 1);
  return texts[static_cast<size_t>(problem)];
}

}  // namespace SafePath

InstallTree::InstallTree(fs::path root) : root_(std::move(root)) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(root_, ec);
  canonicalRoot_ = (ec ? root_.lexically_normal() : canonical).string();
  while (canonicalRoot_.size() > 1 && canonicalRoot_.back() == '/') canonicalRoot_.pop_back();
}

bool InstallTree::inside(const fs::path& p) const {
  std::error_code ec;
  const std::string resolved = fs::weakly_canonical(p, ec).string();
  if (ec) return false;
  if (resolved == canonicalRoot_) return true;
  if (canonicalRoot_ == "/") return true;
  return resolved.size() > canonicalRoot_.size() &&
         resolved.compare(0, canonicalRoot_.size(), canonicalRoot_) == 0 &&
         resolved[canonicalRoot_.size()] == '/';
}

bool InstallTree::folderInside(const std::string& prefix) {
  if (auto it = folders_.find(prefix); it != folders_.end()) return it->second;
  const fs::path folder = root_ / prefix;
  struct stat st {};
  // Only a link can lead elsewhere; a missing folder will be created as a real one.
  const bool ok = ::lstat(folder.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || inside(folder);
  folders_.emplace(prefix, ok);
  return ok;
}

void InstallTree::enterParent(std::string_view parent, const std::string& rel) {
  if (parent_ && *parent_ == parent) return;
  parentFd_.reset();
  parent_ = std::string(parent);
  parentInside_ = true;
  for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1)) {
    if (!folderInside(rel.substr(0, slash))) {
      parentInside_ = false;
      return;
    }
  }
  const fs::path folder = parent.empty() ? root_ : root_ / parent;
  parentFd_ = Platform::openFolderForLookup(folder);
}

InstallTree::Target InstallTree::locate(const std::string& rel) {
  const auto refuse = [](SafePath::Problem problem) {
    Target refused;
    refused.problem = problem;
    return refused;
  };
  if (const auto problem = SafePath::lexicalProblem(rel); problem != SafePath::Problem::none) {
    return refuse(problem);
  }
  const size_t lastSlash = rel.rfind('/');
  const std::string_view parent = lastSlash == std::string::npos
                                      ? std::string_view()
                                      : std::string_view(rel).substr(0, lastSlash);
  enterParent(parent, rel);
  if (!parentInside_) return refuse(SafePath::Problem::leadsOutside);
  Target t;
  t.file = root_ / rel;
  struct stat st {};
  // A folder that could not be opened (missing, or made since) is looked up
  // by its whole path, as a file in it would be.
  const char* name = rel.c_str() + (lastSlash == std::string::npos ? 0 : lastSlash + 1);
  const int found = parentFd_ ? ::fstatat(parentFd_.get(), name, &st, AT_SYMLINK_NOFOLLOW)
                              : ::lstat(t.file.c_str(), &st);
  if (found != 0) return t;
  t.exists = true;
  if (S_ISLNK(st.st_mode)) {
    if (!inside(t.file)) return refuse(SafePath::Problem::leadsOutside);
    if (::stat(t.file.c_str(), &st) != 0) return t;
  }
  if (S_ISREG(st.st_mode)) t.size = static_cast<int64_t>(st.st_size);
  return t;
}

}  // namespace qh
