// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace qh {

// Writes `bytes` to `file`, creating parent folders.
inline std::filesystem::path writeFile(const std::filesystem::path& file, std::string_view bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
  return file;
}

// Writes `text` to `file` as a program anyone may run, creating parent folders.
inline std::filesystem::path writeExecutable(const std::filesystem::path& file,
                                             std::string_view text) {
  namespace fs = std::filesystem;
  writeFile(file, text);
  fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  return file;
}

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qh-XXXXXX").string();
    path_ = mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& rel) const { return path_ / rel; }

  // Writes `bytes` to `rel`, creating parent folders.
  std::filesystem::path write(const std::filesystem::path& rel, std::string_view bytes) const {
    return writeFile(path_ / rel, bytes);
  }

 private:
  std::filesystem::path path_;
};

// The whole content of a file ("" when missing).
inline std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `n` bytes that look random and are the same for the same `seed`.
inline std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

}  // namespace qh
