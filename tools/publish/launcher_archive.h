// Publishing a launcher build: the bundle zipped for the distribution server
// and the build number beside it.
// Thread-safety: any thread; blocks while the archive is written.
#pragma once

#include <filesystem>

#include "core/os_layout.h"

namespace qh::LauncherArchive {

// Writes, below `out`, the launcher archive of `os` (OsLayout::launcherArchive),
// the bundle folder `bundle` ("*.app") at the zip's top level with its modes
// and symbolic links, and its launcher_version.txt holding `build` in decimal. Each file is
// replaced atomically; the version file is written last, so a server never
// announces a build whose archive is missing. Throws Error with the reason
// when the bundle is not a "*.app" folder or a file cannot be written.
void publish(const std::filesystem::path& bundle, int build, const std::filesystem::path& out,
             Os os);

}  // namespace qh::LauncherArchive
