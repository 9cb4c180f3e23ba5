#include "bench/wan/delay_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <deque>
#include <list>
#include <string>
#include <system_error>
#include <vector>

namespace qh::bench {

namespace {

// About what Linux lets one TCP connection have in flight by default.
constexpr size_t window = 6 * 1024 * 1024;
constexpr size_t readSize = 256 * 1024;

double now() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

void nonBlocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

struct Chunk {
  double due;
  std::string bytes;
  size_t sent = 0;
};

// One direction of a connection: what was read from `from` and waits to be
// written to `to`.
struct Direction {
  int from = -1;
  int to = -1;
  std::deque<Chunk> queue;
  size_t queued = 0;
  bool ended = false;  // `from` said it has no more to send
  double endDue = 0;
  bool shut = false;  // and `to` was told so

  bool readable() const { return !ended && queued < window; }
  bool dueNow(double t) const { return !queue.empty() && queue.front().due <= t; }
};

struct Link {
  int client = -1;
  int server = -1;
  double opened = 0;
  Direction up, down;
  bool broken = false;

  bool done() const { return broken || (up.shut && down.shut); }
};

class Loop {
 public:
  Loop(int listener, int wake, int targetPort, double delay, std::atomic<int>& accepted)
      : listener_(listener),
        wake_(wake),
        targetPort_(targetPort),
        delay_(delay),
        accepted_(accepted) {}
  ~Loop() {
    for (Link& l : links_) closeLink(l);
  }

  void run() {
    for (;;) {
      std::vector<pollfd> fds{{listener_, POLLIN, 0}, {wake_, POLLIN, 0}};
      double next = -1;
      const double t = now();
      for (Link& l : links_) {
        watch(l.up, fds, next, t);
        watch(l.down, fds, next, t);
      }
      int timeout = -1;
      if (next >= 0) timeout = std::max(0, static_cast<int>(std::ceil((next - t) * 1000)));
      // Finer than a millisecond would not change a delay of tens of them.
      if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;
      if (fds[1].revents) return;
      if (fds[0].revents & POLLIN) accept();
      const double at = now();
      for (Link& l : links_) {
        move(l, l.up, at, true);
        move(l, l.down, at, false);
      }
      for (auto it = links_.begin(); it != links_.end();) {
        if (it->done()) {
          closeLink(*it);
          it = links_.erase(it);
        } else {
          ++it;
        }
      }
    }
  }

 private:
  void watch(const Direction& d, std::vector<pollfd>& fds, double& next, double t) {
    if (d.readable()) fds.push_back({d.from, POLLIN, 0});
    if (d.dueNow(t)) {
      fds.push_back({d.to, POLLOUT, 0});
    } else if (!d.queue.empty()) {
      next = next < 0 ? d.queue.front().due : std::min(next, d.queue.front().due);
    } else if (d.ended && !d.shut) {
      next = next < 0 ? d.endDue : std::min(next, d.endDue);
    }
  }

  void accept() {
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = loopback(targetPort_);
    if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
      ::close(client);
      if (server >= 0) ::close(server);
      return;
    }
    nonBlocking(client);
    nonBlocking(server);
    ++accepted_;
    Link& l = links_.emplace_back();
    l.client = client;
    l.server = server;
    l.opened = now();
    l.up.from = l.down.to = client;
    l.up.to = l.down.from = server;
  }

  // Reads what `d` may take and writes what is due.
  void move(Link& l, Direction& d, double t, bool up) {
    if (l.broken) return;
    // The client's first bytes reach the server a round trip after the
    // connection opened: the handshake it would have waited for.
    const double sent = up ? std::max(t, l.opened + 2 * delay_) : t;
    while (d.readable()) {
      std::string buffer(readSize, '\0');
      const ssize_t n = ::recv(d.from, buffer.data(), buffer.size(), 0);
      if (n > 0) {
        buffer.resize(static_cast<size_t>(n));
        d.queued += buffer.size();
        d.queue.push_back({sent + delay_, std::move(buffer)});
        continue;
      }
      if (n == 0) {
        d.ended = true;
        d.endDue = sent + delay_;
      } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        l.broken = true;
        return;
      }
      break;
    }
    while (d.dueNow(t)) {
      Chunk& c = d.queue.front();
      const ssize_t n =
          ::send(d.to, c.bytes.data() + c.sent, c.bytes.size() - c.sent, MSG_NOSIGNAL);
      if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) l.broken = true;
        return;
      }
      c.sent += static_cast<size_t>(n);
      if (c.sent < c.bytes.size()) return;
      d.queued -= c.bytes.size();
      d.queue.pop_front();
    }
    if (d.ended && !d.shut && d.queue.empty() && d.endDue <= t) {
      ::shutdown(d.to, SHUT_WR);
      d.shut = true;
    }
  }

  static void closeLink(Link& l) {
    ::close(l.client);
    ::close(l.server);
  }

  const int listener_;
  const int wake_;
  const int targetPort_;
  const double delay_;
  std::atomic<int>& accepted_;
  std::list<Link> links_;
};

}  // namespace

DelayProxy::DelayProxy(int targetPort, double oneWaySeconds)
    : targetPort_(targetPort), delay_(oneWaySeconds) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopback(0);
  socklen_t length = sizeof a;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
    fail("listen on 127.0.0.1");
  }
  port_ = ntohs(a.sin_port);
  if (::pipe2(wake_, O_CLOEXEC) != 0) fail("pipe");
  thread_ = std::thread([this] { run(); });
}

DelayProxy::~DelayProxy() {
  const char stop = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_[1], &stop, 1);
  thread_.join();
  ::close(wake_[0]);
  ::close(wake_[1]);
  ::close(listener_);
}

void DelayProxy::run() {
  Loop(listener_, wake_[0], targetPort_, delay_, accepted_).run();
}

}  // namespace qh::bench
