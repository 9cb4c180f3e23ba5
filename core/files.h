// Whole-file reads and atomic whole-file writes.
// Thread-safety: any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace qh::Files {

// The file's bytes, or nullopt when it cannot be read (missing, a folder, no permission).
std::optional<std::string> read(const std::filesystem::path& file);

// The file's text, or nullopt when it cannot be read or is not valid UTF-8.
std::optional<std::string> readUtf8(const std::filesystem::path& file);

// Replaces `file` with `bytes` atomically: a temporary file in the same folder,
// flushed to disk, then renamed over the target. On failure the target is
// untouched, no temporary is left, and the error is returned.
std::error_code writeAtomic(const std::filesystem::path& file, std::string_view bytes);

// Whether `path`, with every symbolic link on its way resolved (the part that
// does not exist yet taken as written), is `root` or lies below it. A client
// folder may hold links anywhere; nothing is read, written or deleted through
// one that leads out. False when either cannot be resolved.
bool resolvesInside(const std::filesystem::path& root, const std::filesystem::path& path);
// As resolvesInside, but `root` itself does not count: a folder the launcher
// empties must never turn out to be the whole client.
bool resolvesBelow(const std::filesystem::path& root, const std::filesystem::path& path);

}  // namespace qh::Files
