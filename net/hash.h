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

// Bytes per read, and the bound on memory per hash. Reading from the page
// cache is a copy into this buffer: one that fits the core's own cache takes
// a third of the time one of megabytes does, and the hash then reads it from
// there rather than from memory.
inline constexpr size_t chunkSize = 64 * 1024;

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

// Reads `file` in chunks of chunkSize and hands each to `update`, until a read
// returns nothing (that empty read is not handed on). Throws std::system_error
// when the file cannot be opened (nothing is hashed then) or a read fails.
void stream(const std::filesystem::path& file,
            const std::function<void(const unsigned char*, size_t)>& update);

// 40 hex characters. Throws as stream().
std::string sha1(const std::filesystem::path& file);
// 64 hex characters. Throws as stream().
std::string sha256(const std::filesystem::path& file);

}  // namespace qh::Hash
