// Pieces the per-OS files share with platform_bundle.cpp and
// process_posix.cpp. Not for callers outside platform/.
#pragma once

#include <spawn.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace qh {

namespace Platform::detail {

// A request for a tool whose three standard streams are the null device.
Process::Request toolRequest(std::string program, std::vector<std::string> args);

// Per OS: adds to a spawn description what keeps the child from inheriting
// any descriptor other than those the file actions set up. Returns 0 or an
// errno value.
int limitSpawnInheritance(posix_spawnattr_t* attr, posix_spawn_file_actions_t* actions);

// Per OS: the bundle of the running executable and its identifier.
std::optional<std::filesystem::path> mainBundle();
std::optional<std::string> mainBundleIdentifier();
// Per OS: the tool run that unpacks a zip whose size was already checked.
int extractZip(const std::filesystem::path& zip, const std::filesystem::path& into);
// Per OS: the arguments of "/bin/sh" for the relaunch.
std::vector<std::string> relaunchArguments(const std::filesystem::path& backup,
                                           const std::filesystem::path& bundle);

}  // namespace Platform::detail

}  // namespace qh
