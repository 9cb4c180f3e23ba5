// A folder's whole tree as one comparable value: "nothing changed" in a test.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/temp_dir.h"

namespace qh {

// Every entry under `root`: relative path -> type, mode and content (or link target).
inline std::map<std::string, std::string> treeOf(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const auto rel = it->path().lexically_relative(root).string();
    struct stat st {};
    lstat(it->path().c_str(), &st);
    std::string what = std::to_string(st.st_mode & 07777) + " ";
    if (it->is_symlink()) {
      what += "link " + fs::read_symlink(it->path()).string();
    } else if (it->is_directory()) {
      what += "dir";
    } else {
      what += "file " + slurp(it->path());
    }
    tree[rel] = what;
  }
  return tree;
}

}  // namespace qh
