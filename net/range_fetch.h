// Parts of files, and small binary files, from the distribution server over
// the connections the downloader keeps open: a run of range requests to one
// server pays for its handshakes once. Requests are made as the downloader's
// (user agent, time-outs, certificate checks; see net/net.h), held to the
// user's speed step, and stopped by the cancel flag.
//
//   RangeFetch fetch(timing, transport, cancel);
//   std::string map = fetch.get(url, 1 << 20);
//   fetch.range(url, first, length, [&](const char* data, size_t size) { ... });
//
// Thread-safety: one thread at a time; blocks, so worker threads only.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/timing.h"
#include "net/throttle.h"
#include "net/transport.h"

namespace qh {

class RangeFetch {
 public:
  // Takes each piece of a body as it arrives; throws to stop the transfer.
  using Sink = std::function<void(const char* data, size_t size)>;

  RangeFetch(Timing timing, std::shared_ptr<Transport> transport,
             std::shared_ptr<std::atomic<bool>> cancel);

  // The body of a 200 answer, at most `limit` bytes. Throws NetError::http for
  // another status, NetError::shortMessage for a longer body (stopped as soon
  // as it shows), TransportError as the downloader.
  std::string get(const std::string& url, int64_t limit);

  // Bytes [first, first + length) of the file at `url`. Only a 206 whose
  // Content-Range is exactly that range counts: a 200 (a server that ignores
  // ranges), another range or a body of another length throws NetError before
  // or after `sink` saw bytes; whatever `sink` throws is passed on.
  void range(const std::string& url, int64_t first, int64_t length, const Sink& sink);

  // Body bytes received so far, over every request.
  int64_t received() const { return received_; }

  // Fails the request running now (within a second) and every later one with
  // TransportError("Download cancelled"), as the cancel flag does; any thread.
  void stop() { stopped_ = true; }

 private:
  Timing timing_;
  std::shared_ptr<Transport> transport_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  Throttle throttle_;
  int64_t received_ = 0;
  std::atomic<bool> stopped_ = false;

  friend class RangeRequest;
};

}  // namespace qh
