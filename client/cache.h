// Clean-up of the client's cached data.
// Thread-safety: blocking file-system work, any thread; never throws.
#pragma once

#include "core/paths.h"

namespace qh::ClientFiles {

// Deletes every "*.wdb" item (any letter case, any depth, any kind) below
// Cache/WDB of the install folder; returns how many deletions succeeded.
int clearWdbCache(const Paths& paths);

// Deletes the install folder's Cache folder with everything in it.
void clearCache(const Paths& paths);

}  // namespace qh::ClientFiles
