#include "compat/system_wine.h"

#include <unistd.h>

namespace qh {

namespace fs = std::filesystem;

bool RealWineHost::isFile(const fs::path& path) const {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool RealWineHost::isExecutable(const fs::path& path) const {
  return isFile(path) && ::access(path.c_str(), X_OK) == 0;
}

namespace SystemWine {

namespace {

Layout winehq(const std::string& flavour) {
  const fs::path root = "/opt/wine-" + flavour;
  return {root / "bin", {root / "lib/wine/i386-unix/ntdll.so"}, {root / "lib64/wine"}};
}

bool isWow64(const WineHost& host, const Layout& layout) {
  for (const fs::path& lib : layout.libs64) {
    if (host.isFile(lib / "x86_64-unix/ntdll.so") && host.isFile(lib / "i386-windows/ntdll.dll")) {
      return true;
    }
  }
  return false;
}

bool has32BitSide(const WineHost& host, const Layout& layout) {
  for (const fs::path& file : layout.side32) {
    if (host.isFile(file)) return true;
  }
  return false;
}

}  // namespace

const std::vector<Layout>& layouts() {
  static const std::vector<Layout> all = {
      // Debian and Ubuntu (multiarch), Fedora, Arch.
      {"/usr/bin",
       {"/usr/lib/i386-linux-gnu/wine/i386-unix/ntdll.so", "/usr/lib/wine/i386-unix/ntdll.so",
        "/usr/lib32/wine/i386-unix/ntdll.so"},
       {"/usr/lib/x86_64-linux-gnu/wine", "/usr/lib64/wine", "/usr/lib/wine"}},
      winehq("stable"),
      winehq("staging"),
      winehq("devel"),
  };
  return all;
}

Found find(const WineHost& host, const std::vector<Layout>& layouts) {
  Found only64;
  for (const Layout& layout : layouts) {
    const fs::path wine = layout.bin / "wine";
    if (!host.isExecutable(wine) || !host.isExecutable(layout.bin / "wineserver")) continue;
    if (has32BitSide(host, layout)) return {Support::wine32, wine};
    if (isWow64(host, layout)) return {Support::wow64, wine};
    if (only64.support == Support::none) only64 = {Support::only64, wine};
  }
  return only64;
}

RuntimeSpec spec(const Found& found) {
  RuntimeSpec spec;
  spec.id = "system-wine";
  spec.wineBin = found.wine.empty() ? "/usr/bin/wine" : found.wine.string();
  spec.systemWine = true;
  return spec;
}

const WineHost& realHost() {
  static const RealWineHost host;
  return host;
}

}  // namespace SystemWine

}  // namespace qh
