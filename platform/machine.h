// What a player's diagnostics say about the machine, and showing a file the
// launcher made for the player.
// Thread-safety: any thread, except revealFile (main thread).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace qh::Platform {

// The processor's model name ("Apple M2", "AMD Ryzen 7 5800X 8-Core
// Processor"); "" when the system does not say.
std::string cpuModel();

// Installed memory in bytes; -1 when the system does not say.
int64_t physicalMemory();

// The login name of the user the launcher runs as; "" when there is none.
std::string loginName();

// Shows `file` in the Finder (selected) or the file manager (its folder).
// Failures are not reported: the file is there either way.
void revealFile(const std::filesystem::path& file);

}  // namespace qh::Platform
