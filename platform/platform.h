// The thin operating-system layer: everything the flows ask of macOS or Linux.
// One implementation per OS is chosen by the build; callers never #ifdef.
// Thread-safety: every function may be called from any thread unless noted.
#pragma once

#include <spawn.h>

#include <filesystem>

namespace platform {

// The user's home folder ($HOME, else the password database).
std::filesystem::path homeDir();

// The per-user folder that holds the support folder: Application Support on
// macOS, $XDG_DATA_HOME (default ~/.local/share) on Linux.
std::filesystem::path applicationSupportDir();

// --- Compatibility layer: runtime unpacking, Rosetta 2, child processes ---

// True on an Apple Silicon Mac ("hw.optional.arm64" reads 1); false elsewhere.
bool isAppleSilicon();

// Removes the download quarantine from `dir` and everything below it. Nothing
// to do where downloads carry no quarantine. Failures are ignored.
void clearQuarantine(const std::filesystem::path& dir);

// The system tar, by absolute path.
std::filesystem::path tarPath();

// Adds to a spawn description what keeps the child from inheriting any
// descriptor other than 0, 1 and 2 and those the file actions set up.
// Returns 0 or an errno value.
int limitSpawnInheritance(posix_spawnattr_t* attr, posix_spawn_file_actions_t* actions);

}  // namespace platform
