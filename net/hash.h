// Streaming digests of files on disk, as lower-case hexadecimal text.
// Thread-safety: any thread; each call has its own state. Blocks on file
// reads, so call from worker threads, never the main thread.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace Hash {

// Bytes per read, and the bound on memory per hash.
inline constexpr size_t chunkSize = 8 * 1024 * 1024;

// Reads `file` in chunks of chunkSize and hands each to `update`, until a read
// returns nothing (that empty read is not handed on). Throws std::system_error
// when the file cannot be opened (nothing is hashed then) or a read fails.
void stream(const std::filesystem::path& file,
            const std::function<void(const unsigned char*, size_t)>& update);

// 40 hex characters. Throws as stream().
std::string sha1(const std::filesystem::path& file);
// 64 hex characters. Throws as stream().
std::string sha256(const std::filesystem::path& file);

}  // namespace Hash
