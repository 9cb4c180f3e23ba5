#include "faulty_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr size_t maxHead = 16 * 1024;
// How long a stalled answer waits for the client to give up.
constexpr int stallCapMs = 15000;

std::string decode(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::optional<FaultyServer::Request> parse(const std::string& head) {
  const size_t lineEnd = head.find("\r\n");
  const std::string line = head.substr(0, lineEnd);
  const size_t sp1 = line.find(' ');
  const size_t sp2 = line.find(' ', sp1 + 1);
  if (sp1 == std::string::npos || sp2 == std::string::npos) return std::nullopt;
  FaultyServer::Request r;
  r.target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  r.path = decode(r.target.substr(0, r.target.find('?')));
  for (size_t at = lineEnd; at != std::string::npos && at + 2 < head.size();) {
    const size_t next = head.find("\r\n", at + 2);
    const std::string header = head.substr(at + 2, next - at - 2);
    at = next;
    const size_t colon = header.find(':');
    if (colon == std::string::npos || lower(header.substr(0, colon)) != "range") continue;
    const std::string value = header.substr(colon + 1);
    const size_t eq = value.find("bytes=");
    if (eq != std::string::npos) r.rangeStart = std::stoll(value.substr(eq + 6));
  }
  return r;
}

std::string reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
    case 404:
      return "Not Found";
    case 416:
      return "Range Not Satisfiable";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

std::string headers(int status, int64_t length, const std::string& extra = {}) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason(status) +
         "\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(length) +
         "\r\n" + extra + "Connection: close\r\n\r\n";
}

std::string contentRange(int64_t first, int64_t length, int64_t total) {
  return "Content-Range: bytes " + std::to_string(first) + "-" +
         std::to_string(first + length - 1) + "/" + std::to_string(total) + "\r\n";
}

}  // namespace

FaultyServer::FaultyServer(fs::path root, Planner planner, Hook hook)
    : root_(std::move(root)), planner_(std::move(planner)), hook_(std::move(hook)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listenFd_, 128) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("bind failed");
  }
  port_ = ntohs(addr.sin_port);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

FaultyServer::~FaultyServer() {
  stopping_ = true;
  // Wakes accept() and every connection waiting on its client.
  ::shutdown(listenFd_, SHUT_RDWR);
  acceptThread_.join();
  std::unique_lock lock(mutex_);
  for (const int fd : open_) ::shutdown(fd, SHUT_RDWR);
  idle_.wait(lock, [this] { return active_ == 0; });
  lock.unlock();
  ::close(listenFd_);
}

std::string FaultyServer::url() const {
  return "http://127.0.0.1:" + std::to_string(port_);
}

void FaultyServer::acceptLoop() {
  while (!stopping_) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      break;
    }
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(fd);
      break;
    }
    open_.insert(fd);
    ++active_;
    std::thread([this, fd] { serve(fd); }).detach();
  }
}

void FaultyServer::serve(int fd) {
  std::string head;
  char buf[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < maxHead) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    head.append(buf, static_cast<size_t>(n));
  }
  if (const auto request = parse(head); request && head.find("\r\n\r\n") != std::string::npos) {
    ++requests_;
    answer(fd, *request);
  }
  std::lock_guard lock(mutex_);
  open_.erase(fd);
  ::close(fd);
  if (--active_ == 0) idle_.notify_all();
}

bool FaultyServer::sendAll(int fd, const char* data, size_t size, bool countAsFile) {
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
    if (countAsFile) fileBytes_ += n;
  }
  return true;
}

void FaultyServer::waitForPeerClose(int fd) {
  pollfd p{fd, POLLIN, 0};
  char buf[256];
  while (!stopping_) {
    const int r = ::poll(&p, 1, stallCapMs);
    if (r <= 0) return;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0 && !(n < 0 && errno == EINTR)) return;
  }
}

void FaultyServer::answer(int fd, const Request& request) {
  using Kind = Plan::Kind;
  const bool isFile = !request.path.ends_with(".txt");
  const fs::path file = root_ / request.path.substr(request.path.empty() ? 0 : 1);
  std::error_code ec;
  const int in = request.path.find("..") == std::string::npos && fs::is_regular_file(file, ec)
                     ? ::open(file.c_str(), O_RDONLY | O_CLOEXEC)
                     : -1;
  const int64_t size = in < 0 ? -1 : static_cast<int64_t>(fs::file_size(file, ec));
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0) ::close(fd);
    }
  } closer{in};
  Plan plan = planner_ ? planner_(request, size) : Plan{};

  if (plan.kind == Kind::status || in < 0) {
    const int status = plan.kind == Kind::status ? plan.status : 404;
    const std::string body = "error " + std::to_string(status) + "\n";
    const std::string out = headers(status, static_cast<int64_t>(body.size())) + body;
    sendAll(fd, out.data(), out.size(), false);
    return;
  }
  if (plan.kind == Kind::hook && plan.at < 0) {
    if (hook_) hook_(request);
    plan.kind = Kind::normal;
  }
  if (plan.kind == Kind::stall && plan.at < 0) {
    waitForPeerClose(fd);
    return;
  }

  // What a correct server would send: file bytes [first, first + length).
  int status = 200;
  int64_t first = 0;
  if (request.rangeStart && plan.kind != Kind::ignoreRange) {
    if (*request.rangeStart >= size) {
      const std::string out =
          headers(416, 0, "Content-Range: bytes */" + std::to_string(size) + "\r\n");
      sendAll(fd, out.data(), out.size(), false);
      return;
    }
    status = 206;
    first = *request.rangeStart;
  }
  int64_t length = size - first, extra = 0, total = size, flip = -1;
  switch (plan.kind) {
    case Kind::badRange:
      status = 206;
      first = request.rangeStart ? (*request.rangeStart > 0 ? *request.rangeStart - 1 : 1) : 1;
      first = std::min(first, size);
      length = size - first;
      break;
    case Kind::longBody:
      extra = plan.at;
      total += extra;
      break;
    case Kind::shortBody:
      length -= std::min(plan.at, length);
      total -= plan.at;
      break;
    case Kind::corrupt:
      if (length > 0) flip = plan.at % length;
      break;
    default:
      break;
  }
  const int64_t bodyLength = length + extra;
  const std::string head = headers(
      status, bodyLength, status == 206 ? contentRange(first, bodyLength, total) : std::string());
  if (!sendAll(fd, head.data(), head.size(), false)) return;

  // Body bytes [from, to) of the planned body, read from the file in chunks.
  const auto sendBody = [&](int64_t from, int64_t to) {
    std::string chunk;
    for (int64_t at = from; at < to;) {
      const int64_t n = std::min<int64_t>(to - at, 256 * 1024);
      chunk.assign(static_cast<size_t>(n), '\0');
      int64_t got = 0;
      if (at < length) {
        const int64_t want = std::min(n, length - at);
        got = ::pread(in, chunk.data(), static_cast<size_t>(want), static_cast<off_t>(first + at));
        if (got != want) return false;
      }
      for (int64_t i = std::max<int64_t>(got, 0); i < n; ++i) {
        chunk[static_cast<size_t>(i)] = static_cast<char>('a' + (at + i) % 26);
      }
      if (flip >= at && flip < at + n) chunk[static_cast<size_t>(flip - at)] ^= 0x5A;
      if (!sendAll(fd, chunk.data(), chunk.size(), isFile)) return false;
      at += n;
    }
    return true;
  };
  const int64_t cut = std::clamp<int64_t>(plan.at, 0, bodyLength);
  switch (plan.kind) {
    case Kind::drop:
      sendBody(0, cut);
      return;
    case Kind::reset: {
      sendBody(0, cut);
      const linger hard{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      return;
    }
    case Kind::stall:
      if (sendBody(0, cut)) waitForPeerClose(fd);
      return;
    case Kind::hook:
      if (!sendBody(0, cut)) return;
      if (hook_) hook_(request);
      sendBody(cut, bodyLength);
      return;
    default:
      sendBody(0, bodyLength);
      return;
  }
}
