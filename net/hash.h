// Digests as lower-case hexadecimal text: of files on disk, streamed, or of
// bytes handed in piece by piece as they arrive.
// Thread-safety: any thread; each call and each Digest has its own state.
// File digests block on reads, so call them from worker threads, never the
// main thread.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace qh::Hash {

// Bytes per chunk handed on. A file of more than aloneUpTo bytes is read on
// a thread of its own into pipeChunks chunks while the caller's thread
// hashes the ones already read: the copy out of the page cache costs a
// third as much again as SHA-1 itself, and a second core takes it off the
// hash's path. Chunks that fit the core's own cache keep that copy cheap.
inline constexpr size_t chunkSize = 128 * 1024;
inline constexpr size_t pipeChunks = 16;
// One or two chunks leave too little to overlap to pay for a thread.
inline constexpr size_t aloneUpTo = 2 * chunkSize;

enum class Algorithm { sha1, sha256 };

// A digest fed piece by piece.
class Digest {
 public:
  explicit Digest(Algorithm algorithm);
  ~Digest();
  Digest(Digest&&) noexcept;
  Digest& operator=(Digest&&) noexcept;

  void update(const unsigned char* data, size_t size);
  // The digest of everything handed in so far (40 or 64 characters); the
  // digest starts afresh afterwards.
  std::string hex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Reads `file` in chunks of chunkSize and hands each to `update` on the
// calling thread, in order, until a read returns nothing (that empty read is
// not handed on). Quitting (core/quitting.h) stops it before its next read.
// Throws std::system_error when the file cannot be opened (nothing is hashed
// then), a read fails, or quitting stopped it (operation_canceled).
void stream(const std::filesystem::path& file,
            const std::function<void(const unsigned char*, size_t)>& update);

// 40 hex characters. Throws as stream().
std::string sha1(const std::filesystem::path& file);
// 64 hex characters. Throws as stream().
std::string sha256(const std::filesystem::path& file);

}  // namespace qh::Hash
