// The Wine of the system's own packages, which a Linux launcher uses when
// the server offers no runtime for Linux. The game is a 32-bit Windows
// program, so a Wine is usable only when it can start one: with its 32-bit
// side installed (Debian's "wine32"), or built for WoW64 (32-bit programs
// inside the 64-bit Wine). Everything is found by absolute paths and asked
// of a WineHost, so tests can lay out any system.
// Thread-safety: WineHost members and the functions here may be called from
// any thread.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "compat/runtime_spec.h"

namespace qh {

class WineHost {
 public:
  virtual ~WineHost() = default;
  // A regular file, after links.
  virtual bool isFile(const std::filesystem::path& path) const = 0;
  // A regular file, after links, this user may execute.
  virtual bool isExecutable(const std::filesystem::path& path) const = 0;
};

class RealWineHost final : public WineHost {
 public:
  bool isFile(const std::filesystem::path& path) const override;
  bool isExecutable(const std::filesystem::path& path) const override;
};

namespace SystemWine {

// One way Wine gets installed.
struct Layout {
  // Holds "wine" and "wineserver".
  std::filesystem::path bin;
  // Any one of these means the 32-bit side is installed.
  std::vector<std::filesystem::path> side32;
  // The library folders of the 64-bit side; a WoW64 build keeps the 32-bit
  // Windows DLLs ("i386-windows") beside the 64-bit Unix ones ("x86_64-unix").
  std::vector<std::filesystem::path> libs64;
};

// The distribution's packages under /usr, then WineHQ's under /opt.
const std::vector<Layout>& layouts();

enum class Support {
  // No wine with a wineserver beside it.
  none,
  // A Wine that starts 64-bit programs only.
  only64,
  wine32,
  wow64,
};

struct Found {
  Support support = Support::none;
  // The wine program; empty with Support::none.
  std::filesystem::path wine;

  bool usable() const { return support == Support::wine32 || support == Support::wow64; }
};

// The first of `layouts` whose Wine starts 32-bit programs; else the first
// Wine at all (only64); else none.
Found find(const WineHost& host, const std::vector<Layout>& layouts = SystemWine::layouts());

// The runtime description of the system's Wine: id "system-wine", the found
// wine (or where Debian puts it), no archive, no libraries, no DXVK.
RuntimeSpec spec(const Found& found);

// The host of this machine.
const WineHost& realHost();

}  // namespace SystemWine

}  // namespace qh
