#include "support/test_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

struct Slice {
  int status = 200;
  size_t first = 0;
  size_t count = 0;
};

std::optional<size_t> number(const std::string& s) {
  if (s.empty() || s.size() > 18 || !std::all_of(s.begin(), s.end(), ::isdigit)) {
    return std::nullopt;
  }
  return std::stoull(s);
}

// The part of a body of `size` bytes that an open-ended "Range" asks for.
Slice slice(const std::string& range, size_t size) {
  const std::string v = lower(range);
  if (v.rfind("bytes=", 0) != 0 || v.back() != '-') return Slice{200, 0, size};
  const auto first = number(v.substr(6, v.size() - 7));
  if (!first) return Slice{200, 0, size};
  if (*first >= size) return Slice{416, 0, 0};
  return Slice{206, *first, size - *first};
}

}  // namespace

std::string TestServer::Request::header(const std::string& name) const {
  const auto it = headers.find(lower(name));
  return it == headers.end() ? std::string() : it->second;
}

bool TestServer::Request::hasHeader(const std::string& name) const {
  return headers.count(lower(name)) > 0;
}

std::string TestServer::RawResponse::header(const std::string& name) const {
  const auto it = headers.find(lower(name));
  return it == headers.end() ? std::string() : it->second;
}

TestServer::RawResponse TestServer::rawGet(
    int port, const std::string& target,
    const std::vector<std::pair<std::string, std::string>>& headers) {
  RawResponse out;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return out;
  timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return out;
  }
  std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  for (const auto& [name, value] : headers) {
    if (!value.empty()) request += name + ": " + value + "\r\n";
  }
  request += "\r\n";
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  char buffer[65536];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
    out.raw.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  const size_t end = out.raw.find("\r\n\r\n");
  if (end == std::string::npos) return out;
  out.body = out.raw.substr(end + 4);
  size_t line = out.raw.find("\r\n");
  if (const size_t sp = out.raw.find(' '); sp < line)
    out.status = std::atoi(out.raw.c_str() + sp + 1);
  while (line < end) {
    const size_t next = out.raw.find("\r\n", line + 2);
    const std::string h = out.raw.substr(line + 2, next - line - 2);
    if (const size_t colon = h.find(':'); colon != std::string::npos) {
      size_t v = colon + 1;
      while (v < h.size() && h[v] == ' ') ++v;
      out.headers.emplace(lower(h.substr(0, colon)), h.substr(v));
    }
    line = next;
  }
  return out;
}

TestServer::TestServer() : server_(std::make_unique<httplib::Server>()) {
  start();
}

TestServer::TestServer(const Tls& tls)
    : server_(
          std::make_unique<httplib::SSLServer>(tls.certificateFile.c_str(), tls.keyFile.c_str())),
      tls_(true) {
  if (!server_->is_valid()) throw std::runtime_error("TestServer: cannot load certificate");
  start();
}

void TestServer::start() {
  server_->set_keep_alive_timeout(1);
  server_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    // The library would cut the body to the requested range itself; this
    // server decides every byte, so it takes the ranges away first.
    const_cast<httplib::Request&>(req).ranges.clear();
    handle(req, res);
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("TestServer: cannot bind 127.0.0.1");
  auto ended = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([this, ended] {
    server_->listen_after_bind();
    *ended = true;
  });
  // stop() only reaches a server that is already listening.
  while (!server_->is_running() && !*ended) std::this_thread::yield();
}

TestServer::~TestServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  released_.notify_all();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string TestServer::url(const std::string& pathAndQuery) const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
         pathAndQuery;
}

void TestServer::setFile(const std::string& path, std::string bytes) {
  std::lock_guard lock(mutex_);
  files_[path] = std::make_shared<const std::string>(std::move(bytes));
}

void TestServer::serveFolder(const std::filesystem::path& folder) {
  std::lock_guard lock(mutex_);
  folder_ = folder;
}

void TestServer::setRangeSupport(bool on) {
  std::lock_guard lock(mutex_);
  ranges_ = on;
}

void TestServer::fault(const std::string& path, Fault fault, int times) {
  std::lock_guard lock(mutex_);
  faults_.push_back({path, std::move(fault), times});
}

void TestServer::releaseStalls() {
  {
    std::lock_guard lock(mutex_);
    ++stallGeneration_;
  }
  released_.notify_all();
}

std::vector<TestServer::Request> TestServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<TestServer::Request> TestServer::requests(const std::string& path) const {
  std::vector<Request> out;
  for (auto& r : requests()) {
    if (r.path == path) out.push_back(std::move(r));
  }
  return out;
}

void TestServer::clearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

std::optional<std::shared_ptr<const std::string>> TestServer::content(
    const std::string& path) const {
  std::optional<std::filesystem::path> folder;
  {
    std::lock_guard lock(mutex_);
    if (const auto it = files_.find(path); it != files_.end()) return it->second;
    folder = folder_;
  }
  if (!folder || path.find("..") != std::string::npos) return std::nullopt;
  const std::filesystem::path file = *folder / std::filesystem::path(path).relative_path();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  return std::make_shared<const std::string>(std::istreambuf_iterator<char>(in),
                                             std::istreambuf_iterator<char>());
}

std::optional<TestServer::Fault> TestServer::takeFault(const std::string& path) {
  std::lock_guard lock(mutex_);
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->path != path) continue;
    Fault f = it->fault;
    if (it->remaining > 0 && --it->remaining == 0) faults_.erase(it);
    return f;
  }
  return std::nullopt;
}

void TestServer::waitForRelease(uint64_t generation) {
  std::unique_lock lock(mutex_);
  released_.wait(lock, [&] { return stopping_ || stallGeneration_ != generation; });
}

void TestServer::handle(const httplib::Request& req, httplib::Response& res) {
  Request seen{req.method, req.target, req.path, {}, {}};
  if (const size_t q = req.target.find('?'); q != std::string::npos) {
    seen.query = req.target.substr(q + 1);
  }
  for (const auto& [name, value] : req.headers) {
    if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" &&
        name != "LOCAL_PORT") {
      seen.headers.emplace(lower(name), value);
    }
  }
  bool ranges;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(seen);
    ranges = ranges_;
  }
  const Fault fault = takeFault(req.path).value_or(Fault{});
  for (const auto& [name, value] : fault.headers) res.set_header(name, value);
  if (fault.status != 0) {
    res.status = fault.status;
    res.set_content("status " + std::to_string(fault.status) + "\n", "text/plain");
    return;
  }
  const auto body = content(req.path);
  if (!body) {
    res.status = 404;
    res.set_content("not found\n", "text/plain");
    return;
  }
  const size_t size = (*body)->size();
  Slice part{200, 0, size};
  if (ranges && req.has_header("Range")) {
    part = slice(req.get_header_value("Range"), size);
  }
  res.status = part.status;
  if (part.status == 416) {
    res.set_header("Content-Range", "bytes */" + std::to_string(size));
    res.set_content("", "text/plain");
    return;
  }
  if (part.status == 206) {
    res.set_header("Content-Range", "bytes " + std::to_string(part.first) + "-" +
                                        std::to_string(size - 1) + "/" + std::to_string(size));
  }
  const size_t announced = fault.contentLength.value_or(part.count);
  if (announced == 0 && part.count == 0) {
    res.set_content("", "application/octet-stream");
    return;
  }
  uint64_t generation;
  {
    std::lock_guard lock(mutex_);
    generation = stallGeneration_;
  }
  // `sent` counts body bytes; the library's offset stops at `announced`.
  auto sent = std::make_shared<size_t>(0);
  auto stalled = std::make_shared<bool>(false);
  res.set_content_provider(
      announced, "application/octet-stream",
      [this, body = *body, part, fault, announced, sent, stalled, generation](
          size_t, size_t, httplib::DataSink& sink) {
        const char* data = body->data() + part.first;
        if (*sent >= part.count) return false;  // announced more than there is
        if (fault.stallAfter && !*stalled && *sent >= *fault.stallAfter) {
          *stalled = true;
          waitForRelease(generation);
          std::lock_guard lock(mutex_);
          if (stopping_) return false;
        }
        if (fault.dropAfter && *sent >= *fault.dropAfter) return false;
        size_t end = part.count;
        if (fault.dropAfter) end = std::min(end, *fault.dropAfter);
        if (fault.stallAfter && !*stalled) end = std::min(end, *fault.stallAfter);
        // Past the announced length the library would stop asking, so a body
        // longer than announced goes out in one piece.
        size_t n = announced < part.count ? end - *sent : std::min<size_t>(end - *sent, 65536);
        if (n == 0) return true;
        if (!sink.write(data + *sent, n)) return false;
        *sent += n;
        return true;
      });
}
