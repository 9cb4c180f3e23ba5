// Publishing a compatibility runtime: the runtime folder packed for the
// distribution server and the description that points the launcher at it.
// Thread-safety: any thread; blocks while the archive is packed and hashed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/os_layout.h"

namespace qh::RuntimeArchive {

// What publish() found inside the runtime folder, relative to it.
struct Layout {
  std::string wineBin;
  std::optional<std::string> libDir;
  std::optional<std::string> dxvkDll;
};

// The executable "wine", one in a "bin" folder first, then the shortest path
// (ties by name), which must have an executable "wineserver" beside it; the folder
// "Frameworks", else the "lib" beside wine's "bin"; a "d3d9.dll" inside a
// "dxvk" folder. Throws Error when there is no executable wine.
Layout find(const std::filesystem::path& runtimeDir);

// Writes, below `out`, the runtime archive of `os` (OsLayout::runtimeArchive:
// the folder's content inside a top folder named <id>, sorted, owner 0, time
// 0, so unchanged content packs to the same bytes) and its description
// (OsLayout::runtimeDescription: id, relative url, size, SHA-256 and the
// layout below "<id>/"), each replaced atomically, the
// description last. Throws Error (systemError for a file) with the reason for
// a bad id, a folder without wine or wineserver, or a failure to pack or write.
void publish(const std::filesystem::path& runtimeDir, const std::string& id,
             const std::filesystem::path& out, Os os);

}  // namespace qh::RuntimeArchive
