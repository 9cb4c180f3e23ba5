// How the diagnostics read what they collect: a file's last bytes, whole
// lines only, and the newest files of a folder.
// Thread-safety: blocking file work; any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qh::Diagnostics {

struct Tail {
  // At most `cap` bytes, from the start of a line unless the file's first
  // line is longer than the cap.
  std::string bytes;
  // The file's size when it was read (a log still being written grows later).
  int64_t size = 0;
  // Whether anything before `bytes` was left out.
  bool cut = false;
};

// The end of the regular file `file`. A pipe or device is never read (it
// could block forever). Throws std::system_error naming the file.
Tail readTail(const std::filesystem::path& file, int64_t cap);

// `text` cut to its last `cap` bytes from a line's start; true in `cut` when
// anything went.
std::string lastLines(std::string text, int64_t cap, bool& cut);

struct Listing {
  // Regular files below the folder, the newest first.
  std::vector<std::filesystem::path> files;
  // Files past the limit, left out.
  size_t more = 0;
};
// The regular files below `folder`, at most `limit`. Folders that cannot be
// read are skipped; links to folders are not followed.
Listing newestFiles(const std::filesystem::path& folder, size_t limit);

}  // namespace qh::Diagnostics
