// A TCP proxy on 127.0.0.1 that puts a distance between a client and a
// server on the same machine: every byte is held back by a fixed one-way
// delay in each direction, in the order it came, and a new connection's first
// bytes wait one round trip more, as its TCP handshake would have taken.
// Bytes in flight are bounded per direction, as a TCP window bounds them.
// Counts the connections it accepts.
// Thread-safety: construct, read and destroy on one thread; the proxy runs
// on a thread of its own.
#pragma once

#include <atomic>
#include <thread>

namespace qh::bench {

class DelayProxy {
 public:
  // Forwards to 127.0.0.1:`targetPort`. Throws std::system_error when it
  // cannot listen.
  DelayProxy(int targetPort, double oneWaySeconds);
  ~DelayProxy();
  DelayProxy(const DelayProxy&) = delete;
  DelayProxy& operator=(const DelayProxy&) = delete;

  int port() const { return port_; }
  // Connections accepted so far.
  int connections() const { return accepted_.load(); }

 private:
  void run();

  const int targetPort_;
  const double delay_;
  int listener_ = -1;
  int port_ = 0;
  int wake_[2] = {-1, -1};
  std::atomic<int> accepted_{0};
  std::thread thread_;
};

}  // namespace qh::bench
