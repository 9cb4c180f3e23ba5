// What the fuzz targets share: the check that stops a run, whole-file
// helpers and a private folder removed at exit.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

namespace qh::fuzz {

// libFuzzer reports the input that broke a rule as a crash.
inline void require(bool holds) {
  if (!holds) std::abort();
}

inline std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void put(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A folder of this process's own, made on first use and removed at exit.
inline const std::filesystem::path& scratchDir() {
  // Never destroyed: the clean-up at exit still reads it.
  static const std::filesystem::path& dir = []() -> const std::filesystem::path& {
    char tmpl[] = "/tmp/qh-fuzz-XXXXXX";
    auto* made = new std::filesystem::path(mkdtemp(tmpl));
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(scratchDir(), ec);
    });
    return *made;
  }();
  return dir;
}

}  // namespace qh::fuzz
