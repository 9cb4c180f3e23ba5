// Ranges of one file fetched in order on a thread of their own, so that the
// network works while the caller does something else (a delta update copies
// what the old file holds meanwhile). At most `ahead` bytes wait in memory;
// the fetch waits for the caller beyond that.
//
//   RangePrefetch prefetch(fetch, url, {{0, 100}, {5000, 20}}, 64 << 20);
//   prefetch.take([&](const char* data, size_t size) { ... });  // the first range
//   prefetch.take(...);                                          // the second
//
// Thread-safety: construct, take and destroy on one thread; `fetch` is the
// prefetch's alone until it is destroyed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/range_fetch.h"

namespace qh {

class RangePrefetch {
 public:
  struct Range {
    int64_t first = 0;
    int64_t length = 0;
  };

  RangePrefetch(RangeFetch& fetch, std::string url, std::vector<Range> ranges, size_t ahead);
  // Stops the fetch and waits for its thread.
  ~RangePrefetch();
  RangePrefetch(const RangePrefetch&) = delete;
  RangePrefetch& operator=(const RangePrefetch&) = delete;

  // Hands the next range's bytes to `out` in order, as they arrive. Throws
  // what the fetch threw (RangeFetch::range), then on every later call.
  void take(const RangeFetch::Sink& out);

 private:
  void run();
  void push(const char* data, size_t size);

  RangeFetch& fetch_;
  const std::string url_;
  const std::vector<Range> ranges_;
  const size_t ahead_;
  size_t next_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> chunks_;
  size_t queued_ = 0;
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace qh
