// Moving whole bundles, also between file systems (the support folder and the
// folder the launcher runs from may lie on different volumes).
// Thread-safety: any thread; blocks for a cross-volume copy.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>

namespace qh::BundleMove {

// Moves `from` to `to`, which must not exist. Within one file system this is
// a rename; across file systems a copy (links and modes kept) into a hidden
// sibling of `to`, renamed into place, then `from` is removed. On failure
// `to` does not exist and `from` is as it was.
std::error_code move(const std::filesystem::path& from, const std::filesystem::path& to);

// Test seam: while set, move() first asks it and fails with the error it returns.
using Fault = std::function<std::optional<std::error_code>(const std::filesystem::path& from,
                                                           const std::filesystem::path& to)>;
void setFaultForTesting(Fault fault);

// Forces the cross-volume path for tests (the same file system otherwise renames).
void setCopyAlwaysForTesting(bool copy);

}  // namespace qh::BundleMove
