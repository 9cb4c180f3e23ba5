// A launcher installed by the system's package manager (the Linux package)
// belongs to it: it never replaces itself, the package manager updates it.
// The package marks its bundle with a file in the resources.
// Thread-safety: any thread.
#pragma once

#include <filesystem>
#include <optional>

namespace qh {

inline constexpr const char* packageMarkerName = "package-managed";

// True when `resources` (the running bundle's) carries the package's marker.
bool packageManaged(const std::optional<std::filesystem::path>& resources);

}  // namespace qh
