// A zip archive made in memory with libarchive, one whole entry at a time.
// Thread-safety: one instance belongs to one thread.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

struct archive;

namespace qh {

class ZipArchive {
 public:
  // Throws Error when libarchive cannot start a zip.
  ZipArchive();
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Adds the file `name` ("a/b.txt") holding `bytes`, dated `when`, deflated.
  // Throws Error when libarchive refuses it.
  void add(const std::string& name, std::string_view bytes, std::time_t when);
  // The whole archive; nothing can be added afterwards. Throws Error.
  std::string finish();

 private:
  archive* archive_;
  std::string bytes_;
  bool finished_ = false;
};

}  // namespace qh
