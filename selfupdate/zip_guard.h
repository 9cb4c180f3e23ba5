// Decides, before and after the launcher archive is unpacked, whether what it
// holds may be used.
// Thread-safety: pure functions of the files; any thread. They block on the
// disk: workers only.
#pragma once

#include <cstdint>
#include <filesystem>

namespace qh::ZipGuard {

// What the entries of `zip` declare they unpack to, in bytes, read from its
// central directory without unpacking anything. Unpacking must not produce
// more: an archive that does lies about its sizes.
// Throws SelfUpdateError::unzipFailed saying why it must not be unpacked: not
// a readable zip, a zip64 one, an entry name that is absolute, holds ".." or
// leads through a symbolic-link entry, or entries that together declare more
// than `maxBytes`.
int64_t inspect(const std::filesystem::path& zip, int64_t maxBytes);

// Throws SelfUpdateError::unzipFailed when the unpacked tree under `folder`
// holds a symbolic link whose target lies outside `folder`, or cannot be read.
void checkUnpacked(const std::filesystem::path& folder);

}  // namespace qh::ZipGuard
