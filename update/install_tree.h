// Where manifest paths land inside one install folder. A manifest comes from
// the network, so a path that is absolute, carries a drive letter, has an
// empty, "." or ".." component, or leads out of the folder through a symbolic
// link is refused: such a path is never read, written or deleted.
// Thread-safety: SafePath any thread; an InstallTree belongs to one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/unique_fd.h"

namespace qh {

namespace SafePath {

// Why a path can never name a file inside the install folder; `none` when it can.
enum class Problem {
  none,
  empty,
  nul,
  absolute,
  driveLetter,
  emptyComponent,
  dotComponent,
  dotDotComponent,
  leadsOutside,
};

// The checks of the text alone, without the file system (never leadsOutside).
Problem lexicalProblem(std::string_view rel);
// The words the launcher log and qh-publish use: "absolute path".
std::string_view text(Problem problem);

}  // namespace SafePath

class InstallTree {
 public:
  struct Target {
    // Why the path is refused; unless none, the fields below are empty and
    // nothing may be read, written or deleted for it.
    SafePath::Problem problem = SafePath::Problem::none;
    std::filesystem::path file;
    // Anything (file, folder, link) is at `file`.
    bool exists = false;
    // nullopt when the file is missing, not a regular file or unreadable.
    std::optional<int64_t> size;
  };

  explicit InstallTree(std::filesystem::path root);
  InstallTree(const InstallTree&) = delete;
  InstallTree& operator=(const InstallTree&) = delete;

  // The file for `rel` with its current size, or why the path is refused.
  // Verdicts on folders are remembered, so keep one tree per pass over the
  // manifest.
  Target locate(const std::string& rel);

 private:
  bool inside(const std::filesystem::path& p) const;
  bool folderInside(const std::string& prefix);
  // Judges the folders of `parent` and opens it, unless it is the parent of
  // the previous call; manifests list a folder's files together.
  void enterParent(std::string_view parent, const std::string& rel);

  std::filesystem::path root_;
  std::string canonicalRoot_;
  std::unordered_map<std::string, bool> folders_;
  // The parent folder of the previous call: its verdict and, when it could
  // be opened, a descriptor to look its files up by name alone.
  std::optional<std::string> parent_;
  bool parentInside_ = false;
  UniqueFd parentFd_;
};

}  // namespace qh
