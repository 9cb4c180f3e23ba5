// Pieces the per-OS files share with platform_bundle.cpp. Not for callers
// outside platform/.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace qh {

namespace Platform::detail {

// Runs `program` (an absolute path) with `args` and waits for it. Standard
// input and error are the null device; standard output goes to `sink` when
// given (a false return kills the program) and to the null device otherwise.
// No descriptor of ours is inherited. Returns the exit status, 128 + the
// signal for a killed program, or -1 when it could not start or `sink` stopped it.
int runTool(const std::string& program, const std::vector<std::string>& args,
            const std::function<bool(std::string_view)>& sink = {});

// Starts `program` in a new session with no descriptor of ours and the null
// device as standard streams, without waiting for it; it is reaped in the
// background.
std::error_code spawnDetached(const std::string& program, const std::vector<std::string>& args);

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
