// Moving whole bundles, also between file systems (the support folder and the
// folder the launcher runs from may lie on different volumes).
// Thread-safety: any thread; blocks for a cross-volume copy.
#pragma once

#include <filesystem>
#include <system_error>

namespace qh::BundleMove {

// Moves `from` to `to`, which must not exist. Within one file system this is
// a rename; across file systems it is moveByCopy. On failure `to` does not
// exist and `from` is as it was.
std::error_code move(const std::filesystem::path& from, const std::filesystem::path& to);

// The move across file systems: a copy (links and modes kept) into a hidden
// sibling of `to`, renamed into place, then `from` is removed. On failure as
// move().
std::error_code moveByCopy(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace qh::BundleMove
