// Makes the client's addons match the official set: unofficial addon folders
// go, and every account's "AddOns.txt" lists exactly the official addons.
// Thread-safety: no shared state; runs on any one thread at a time per install folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/paths.h"

namespace qh::ClientFiles {

// Each official name, in order, followed by ": enabled" and CR LF.
std::string addonListText(const std::vector<std::string>& official);

// Deletes every folder directly in Interface/AddOns that is neither official
// (any case) nor a stock "blizzard_" addon, then writes addonListText() to
// the top of every account folder in WTF/Account and over every "AddOns.txt"
// (exact case) already below one. Symbolic links in Interface/AddOns are left
// alone, and nothing a link points to is ever deleted. Returns how many
// folders were deleted; an empty `official` does nothing and returns 0.
// Errors are swallowed where they happen.
int reconcileAddons(const Paths& paths, const std::vector<std::string>& official);

}  // namespace qh::ClientFiles
