// The thin operating-system layer: everything the flows ask of macOS or Linux.
// One implementation per OS is chosen by the build; callers never #ifdef.
// Thread-safety: every function may be called from any thread unless noted.
#pragma once

#include <filesystem>

namespace platform {

// The user's home folder ($HOME, else the password database).
std::filesystem::path homeDir();

// The per-user folder that holds the support folder: Application Support on
// macOS, $XDG_DATA_HOME (default ~/.local/share) on Linux.
std::filesystem::path applicationSupportDir();

}  // namespace platform
