// A fixed set of equal buffers passed in order from one thread that fills
// them to another that reads them, so reading a file (or writing one) and
// hashing it run side by side on two cores with memory bounded by the set.
// Internal to net/.
//
//   ChunkPipe pipe(256 * 1024, 4);
//   filler:  while (unsigned char* b = pipe.vacant()) { ...; pipe.publish(n); } pipe.close();
//   reader:  for (auto c = pipe.next(); !c.empty(); c = pipe.next()) use(c);
//
// Thread-safety: one filling thread and one reading thread at a time; each
// side calls only its own members.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace qh {

class ChunkPipe {
 public:
  ChunkPipe(size_t chunkSize, size_t chunks);
  ChunkPipe(const ChunkPipe&) = delete;
  ChunkPipe& operator=(const ChunkPipe&) = delete;

  size_t chunkSize() const { return chunkSize_; }

  // The filling side.
  // A buffer of chunkSize() bytes to fill, waiting while every one is full;
  // nullptr once the reading side has stopped. The same buffer until publish().
  unsigned char* vacant();
  // Passes the buffer vacant() gave on, holding its first `size` bytes.
  void publish(size_t size);
  // Nothing more comes: the reading side gets what is queued, then the end.
  void close();
  // The filling side failed or gave up: the reading side's next call throws
  // `error` (or sees the end, for none) without reading what is still queued.
  void abandon(std::exception_ptr error);

  // The reading side.
  // The next chunk, waiting for it; empty at the end. Hands the chunk the
  // last call returned back to the filling side. Throws abandon()'s error.
  std::span<const unsigned char> next();
  // The reading side gives up: vacant() returns nullptr from now on.
  void stop();

 private:
  const size_t chunkSize_;
  const std::unique_ptr<unsigned char[]> memory_;
  std::vector<size_t> sizes_;
  size_t half() const { return std::max<size_t>(1, sizes_.size() / 2); }
  std::mutex mutex_;
  std::condition_variable changed_;
  // The oldest full chunk; full chunks follow it around the ring, the one
  // being read included.
  size_t head_ = 0;
  size_t full_ = 0;
  bool reading_ = false;
  bool closed_ = false;
  bool abandoned_ = false;
  bool stopped_ = false;
  // A side that waits sleeps until half the ring is its again, not one
  // chunk: waking for every chunk cost more than the copy it waited for.
  bool fillerWaits_ = false;
  bool readerWaits_ = false;
  std::exception_ptr error_;
};

}  // namespace qh
