// Where manifest paths land inside one install folder. A manifest comes from
// the network, so a path that is absolute, carries a drive letter, has an
// empty, "." or ".." component, or leads out of the folder through a symbolic
// link is refused: such a path is never read, written or deleted.
// Thread-safety: lexicalProblem any thread; an InstallTree belongs to one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace SafePath {
// Why `rel` can never name a file inside the install folder, or "" when it can.
std::string lexicalProblem(std::string_view rel);
}  // namespace SafePath

class InstallTree {
 public:
  struct Target {
    std::filesystem::path file;
    // Anything (file, folder, link) is at `file`.
    bool exists = false;
    // nullopt when the file is missing, not a regular file or unreadable.
    std::optional<int64_t> size;
  };

  explicit InstallTree(std::filesystem::path root);

  // The file for `rel` with its current size, or nullopt with `why` set when
  // the path is refused. Verdicts on folders are remembered, so keep one tree
  // per pass over the manifest.
  std::optional<Target> locate(const std::string& rel, std::string* why = nullptr);

 private:
  bool inside(const std::filesystem::path& p) const;
  bool folderInside(const std::string& prefix);

  std::filesystem::path root_;
  std::string canonicalRoot_;
  std::unordered_map<std::string, bool> folders_;
};
