// Digests of bytes handed in piece by piece, computed on a thread of their
// own a few chunks behind the thread handing them in: a transfer's thread
// receives and writes while a second core hashes what it wrote. The lag is
// bounded (Hash::pipeChunks chunks); update() waits while the hash is that
// far behind. The first Hash::aloneUpTo bytes are hashed on the calling
// thread: a small file ends before a second thread would pay for itself.
// Used by the downloader and by the delta update's assembly.
//
//   TrailingDigests digests({Hash::Algorithm::sha1});
//   digests.update(data, size); ...
//   const std::vector<std::string> hex = digests.hex();
//
// Thread-safety: one thread calls the members.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "net/chunk_pipe.h"
#include "net/hash.h"
#include "platform/joining_thread.h"

namespace qh {

class TrailingDigests {
 public:
  explicit TrailingDigests(const std::vector<Hash::Algorithm>& algorithms);
  // Drops what is still queued: a transfer that failed or was cancelled does
  // not wait for the hash of bytes nobody will check.
  ~TrailingDigests();
  TrailingDigests(const TrailingDigests&) = delete;
  TrailingDigests& operator=(const TrailingDigests&) = delete;

  // Hashes what `file` holds, as the start of the bytes, on the calling
  // thread. Before any update(). Throws as Hash::stream.
  void prefix(const std::filesystem::path& file);
  void update(const unsigned char* data, size_t size);
  // The digests of everything handed in, hex, in the order of the
  // algorithms; waits for the hash to catch up. Once, after the last update.
  std::vector<std::string> hex();

 private:
  void startHashing();
  void publish();

  std::vector<Hash::Digest> digests_;
  size_t handed_ = 0;
  std::optional<ChunkPipe> pipe_;
  // The chunk being filled, and how much of it is.
  unsigned char* chunk_ = nullptr;
  size_t filled_ = 0;
  JoiningThread hasher_;
};

}  // namespace qh
