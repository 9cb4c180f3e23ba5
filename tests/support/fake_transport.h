// The network under the downloader, replaced in-process: every connection of
// a transfer it is handed to goes to a private UNIX-domain socket and, before
// its request goes out, is answered with the current answer and closed for
// writing. No port, no thread, no name look-up, no proxy; redirects to any
// host come back to the same answer. The ".part" is written as usual.
//
//   auto net = std::make_shared<FakeTransport>();
//   net->answer("HTTP/1.1 206 Partial Content\r\nContent-Range: ...\r\n\r\n...");
//   Downloader::fetchBlocking({.url = "http://dist.test/f.bin", ..., .transport = net});
//
// Answers must fit a socket's buffer (some 100 KiB). Header-only, for the
// fuzz target. Thread-safety: one transfer at a time; answer() between them.
//
// FillingDisk, below, keeps the network and fills the disk instead;
// WatchedNetwork keeps both and tells a test when each request goes out.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "net/transport.h"

namespace qh {

class FakeTransport final : public Transport {
 public:
  FakeTransport() : name_(uniqueName()), listener_(listen(name_)) {}
  ~FakeTransport() {
    closePeers();
    ::close(listener_);
  }
  FakeTransport(const FakeTransport&) = delete;
  FakeTransport& operator=(const FakeTransport&) = delete;

  // The bytes every following connection receives; closes earlier connections.
  void answer(std::string bytes) {
    std::lock_guard lock(mutex_);
    closePeersLocked();
    answer_ = std::move(bytes);
  }

  std::string socketName() const override { return name_; }
  // A connection kept from an earlier request has nothing waiting here.
  void connected() override {
    std::lock_guard lock(mutex_);
    const int peer = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (peer < 0) return;
    for (size_t done = 0; done < answer_.size();) {
      const ssize_t n = ::send(peer, answer_.data() + done, answer_.size() - done, MSG_NOSIGNAL);
      // An answer larger than the buffer would wait for a reader that waits for us.
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
    ::shutdown(peer, SHUT_WR);
    peers_.push_back(peer);
  }
  ssize_t write(int fd, const char* data, size_t size) override { return ::write(fd, data, size); }

 private:
  static std::string uniqueName() {
    static std::atomic<int> count{0};
    return "qh-fake-transport-" + std::to_string(::getpid()) + "-" + std::to_string(++count);
  }
  static sockaddr_un address(const std::string& name, socklen_t* length) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    // Abstract: a leading NUL, no file anywhere.
    std::memcpy(a.sun_path + 1, name.data(), name.size());
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return a;
  }
  static int listen(const std::string& name) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    socklen_t length = 0;
    const sockaddr_un a = address(name, &length);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&a), length) != 0 ||
        ::listen(fd, 64) != 0) {
      std::abort();
    }
    return fd;
  }
  void closePeers() {
    std::lock_guard lock(mutex_);
    closePeersLocked();
  }
  void closePeersLocked() {
    for (const int peer : peers_) ::close(peer);
    peers_.clear();
  }

  std::mutex mutex_;
  std::string answer_;
  std::vector<int> peers_;
  const std::string name_;
  const int listener_;
};

// The network as it is, over a disk with room for `room` more bytes: a write
// that reaches the end is cut short and the next fails with ENOSPC, as on a
// full file system. Thread-safety: any thread.
class FillingDisk final : public Transport {
 public:
  explicit FillingDisk(size_t room) : room_(room) {}

  // Gives the disk `room` bytes of space from now on.
  void free(size_t room) {
    std::lock_guard lock(mutex_);
    room_ = room;
  }

  std::string socketName() const override { return {}; }
  void connected() override {}
  ssize_t write(int fd, const char* data, size_t size) override {
    std::lock_guard lock(mutex_);
    if (room_ == 0) {
      errno = ENOSPC;
      return -1;
    }
    const ssize_t n = ::write(fd, data, std::min(size, room_));
    if (n > 0) room_ -= static_cast<size_t>(n);
    return n;
  }

 private:
  std::mutex mutex_;
  size_t room_;
};

// The network as it is; `onRequest` runs on the transfer's thread each time
// a request is about to go out, its connection already chosen.
class WatchedNetwork final : public Transport {
 public:
  explicit WatchedNetwork(std::function<void()> onRequest) : onRequest_(std::move(onRequest)) {}

  std::string socketName() const override { return {}; }
  void connected() override { onRequest_(); }
  ssize_t write(int fd, const char* data, size_t size) override { return ::write(fd, data, size); }

 private:
  const std::function<void()> onRequest_;
};

}  // namespace qh
