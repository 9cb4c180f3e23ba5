// Input: the bytes of "launcher.cfg", a NUL, then those of "install_path.txt".
// Writes both into a support folder of its own and checks that the resolved
// install folder is never empty, that the base URL never ends in "/" nor
// holds a line break, that an unreadable or blank file means the default base
// and a first line of slashes alone an empty one.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/paths.h"
#include "core/qh.h"
#include "core/text.h"
#include "fuzz_support.h"

namespace qh {

namespace fs = std::filesystem;

using fuzz::put;
using fuzz::require;

namespace {

// The private home the launcher's files are read from.
const fs::path& supportDir() {
  static const fs::path dir = [] {
    const fs::path home = fuzz::scratchDir();
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    return home / "data" / "Quellhaven";
  }();
  return dir;
}

}  // namespace

}  // namespace qh

using namespace qh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  const std::string_view cfg = input.substr(0, cut);
  const std::string_view install =
      cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
  fs::create_directories(supportDir());
  put(supportDir() / "launcher.cfg", cfg);
  put(supportDir() / "install_path.txt", install);

  const Paths p = Paths::load();
  require(p.stateDir == supportDir());
  require(!p.installDir.empty());
  require(p.base.empty() || p.base.back() != '/');
  for (const std::string& line : Text::splitLines(p.base)) require(line == p.base);
  const std::vector<std::string> lines =
      Text::isValidUtf8(cfg) ? Text::splitLines(cfg) : std::vector<std::string>();
  const std::string first = lines.empty() ? std::string() : Text::trimBlanks(lines.front());
  if (first.empty()) {
    std::string fallback = QH::defaultBaseURL();
    while (!fallback.empty() && fallback.back() == '/') fallback.pop_back();
    require(p.base == fallback);
  } else if (first.find_first_not_of('/') == std::string::npos) {
    // Slashes alone leave nothing; the requests then fail as bad URLs.
    require(p.base.empty());
  }
  if (!Text::isValidUtf8(install) || Text::trimWhitespace(install).empty()) {
    require(p.installDir == fs::path(getenv("HOME")) / "Quellhaven");
  }
  return 0;
}
