#include "core/paths.h"

#include "core/files.h"
#include "core/qh.h"
#include "core/text.h"
#include "platform/platform.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

std::string baseURL(const fs::path& stateDir) {
  const auto cfg = Files::readUtf8(stateDir / "launcher.cfg");
  std::string base;
  if (cfg) {
    const auto lines = Text::splitLines(*cfg);
    if (!lines.empty()) base = Text::trimBlanks(lines.front());
  }
  if (base.empty()) base = QH::defaultBaseURL();
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

}  // namespace

fs::path Paths::gameExe() const {
  std::error_code ec;
  const fs::path preferred = installDir / "QuellhavenGame.exe";
  if (fs::exists(preferred, ec)) return preferred;
  const fs::path legacy = installDir / "Wow.exe";
  if (fs::exists(legacy, ec)) return legacy;
  return preferred;
}

Paths Paths::load() {
  const fs::path stateDir = Platform::applicationSupportDir() / "Quellhaven";
  std::error_code ec;
  fs::create_directories(stateDir, ec);
  return read();
}

Paths Paths::read() {
  Paths p;
  p.stateDir = Platform::applicationSupportDir() / "Quellhaven";
  p.base = baseURL(p.stateDir);
  p.installDir = Platform::homeDir() / "Quellhaven";
  if (const auto saved = Files::readUtf8(p.stateDir / "install_path.txt")) {
    const std::string path = Text::trimWhitespace(*saved);
    if (!path.empty()) p.installDir = path;
  }
  return p;
}

}  // namespace qh
