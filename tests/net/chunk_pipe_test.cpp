#include "net/chunk_pipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace qh {

namespace {

std::string text(std::span<const unsigned char> chunk) {
  return {reinterpret_cast<const char*>(chunk.data()), chunk.size()};
}

void put(ChunkPipe& pipe, const std::string& bytes) {
  unsigned char* chunk = pipe.vacant();
  ASSERT_NE(chunk, nullptr);
  std::memcpy(chunk, bytes.data(), bytes.size());
  pipe.publish(bytes.size());
}

// A reader far behind its filler still gets every chunk whole and in order:
// a chunk it holds is never refilled under it.
TEST(ChunkPipe, CarriesEveryByteInOrderPastASlowReader) {
  const std::string bytes = randomBytes(200000, 3);
  ChunkPipe pipe(1000, 3);
  std::thread filler([&] {
    // Uneven chunks, the last one short.
    for (size_t at = 0, n = 1; at < bytes.size(); at += n, n = n % 997 + 1) {
      n = std::min(n, bytes.size() - at);
      put(pipe, bytes.substr(at, n));
    }
    pipe.close();
  });
  std::string got;
  for (auto chunk = pipe.next(); !chunk.empty(); chunk = pipe.next()) {
    const std::string first = text(chunk);
    std::this_thread::yield();
    ASSERT_EQ(text(chunk), first) << "a chunk changed while it was read";
    got += first;
  }
  filler.join();
  EXPECT_EQ(got, bytes);
}

// Closing delivers what is queued; giving up does not, and an error reaches
// the reader at once.
TEST(ChunkPipe, AClosedPipeDrainsAnAbandonedOneDoesNot) {
  ChunkPipe closed(8, 3);
  put(closed, "one");
  put(closed, "two");
  closed.close();
  EXPECT_EQ(text(closed.next()), "one");
  EXPECT_EQ(text(closed.next()), "two");
  EXPECT_TRUE(closed.next().empty());

  ChunkPipe quiet(8, 3);
  put(quiet, "one");
  quiet.abandon(nullptr);
  EXPECT_TRUE(quiet.next().empty());

  ChunkPipe failed(8, 3);
  put(failed, "one");
  put(failed, "two");
  EXPECT_EQ(text(failed.next()), "one");
  failed.abandon(std::make_exception_ptr(std::runtime_error("read failed")));
  EXPECT_THROW(failed.next(), std::runtime_error);
}

// A filler waiting for room is let go when the reader stops.
TEST(ChunkPipe, AStoppedReaderReleasesAWaitingFiller) {
  ChunkPipe pipe(4, 2);
  std::atomic<int> published{0};
  std::thread filler([&] {
    while (unsigned char* chunk = pipe.vacant()) {
      chunk[0] = 'x';
      pipe.publish(1);
      ++published;
    }
  });
  // With the ring full the filler is on its way to sleep; give it the time.
  while (published < 2) std::this_thread::yield();
  for (int i = 0; i < 1000; ++i) std::this_thread::yield();
  pipe.stop();
  filler.join();
  EXPECT_EQ(published, 2);
}

}  // namespace

}  // namespace qh
