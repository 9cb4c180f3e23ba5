#include "support/test_server.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "net/net.h"

namespace qh {

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

// The part of a body of `size` bytes that one range asks for: "bytes=N-"
// (resumes) or "bytes=N-M" (delta updates).
Slice slice(const std::string& range, size_t size) {
  size_t first = 0, last = 0;
  int used = 0;
  if (std::sscanf(range.c_str(), "bytes=%zu-%zu%n", &first, &last, &used) == 2 &&
      used == static_cast<int>(range.size()) && first <= last) {
    if (first >= size) return Slice{416, 0, 0};
    return Slice{206, first, std::min(last, size - 1) - first + 1};
  }
  used = 0;
  if (std::sscanf(range.c_str(), "bytes=%zu-%n", &first, &used) != 1 ||
      used != static_cast<int>(range.size())) {
    return Slice{200, 0, size};
  }
  if (first >= size) return Slice{416, 0, 0};
  return Slice{206, first, size - first};
}

}  // namespace

std::string TestServer::Request::header(const std::string& name) const {
  const auto it = headers.find(lower(name));
  return it == headers.end() ? std::string() : it->second;
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
  // The server waits for its kept connections to go idle for a second before
  // it stops; the launcher's side closes them at once.
  Net::closeIdleConnections();
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

void TestServer::fault(const std::string& path, Fault fault, int times) {
  std::lock_guard lock(mutex_);
  faults_.push_back({path, std::move(fault), times});
}

void TestServer::setPlanner(Planner planner) {
  std::lock_guard lock(mutex_);
  planner_ = std::move(planner);
}

void TestServer::stall() {
  std::unique_lock lock(mutex_);
  released_.wait(lock, [&] { return stopping_; });
}

std::map<std::string, uint64_t> TestServer::bytesSent() const {
  std::lock_guard lock(mutex_);
  return sent_;
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

std::shared_ptr<const std::string> TestServer::content(const std::string& path) const {
  std::optional<std::filesystem::path> folder;
  {
    std::lock_guard lock(mutex_);
    if (const auto it = files_.find(path); it != files_.end()) return it->second;
    folder = folder_;
  }
  if (!folder || path.find("..") != std::string::npos) return nullptr;
  const std::filesystem::path file = *folder / std::filesystem::path(path).relative_path();
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  std::ifstream in(file, std::ios::binary);
  if (ec || !std::filesystem::is_regular_file(file, ec) || !in) return nullptr;
  // Read in one piece: a file of tens of megabytes must not hold the answer back.
  auto bytes = std::make_shared<std::string>(size, '\0');
  if (!in.read(bytes->data(), static_cast<std::streamsize>(size))) return nullptr;
  return bytes;
}

TestServer::Fault TestServer::takeFault(const Request& request, const std::string* body) {
  Planner planner;
  {
    std::lock_guard lock(mutex_);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
      if (it->path != request.path) continue;
      Fault f = it->fault;
      if (it->remaining > 0 && --it->remaining == 0) faults_.erase(it);
      return f;
    }
    planner = planner_;
  }
  return planner && body ? planner(request, body->size()) : Fault{};
}

void TestServer::handle(const httplib::Request& req, httplib::Response& res) {
  Request seen{req.target, req.path, {}, req.remote_port};
  for (const auto& [name, value] : req.headers) {
    if (!name.starts_with("REMOTE_") && !name.starts_with("LOCAL_")) {
      seen.headers.emplace(lower(name), value);
    }
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(seen);
  }
  std::shared_ptr<const std::string> body = content(req.path);
  Fault fault = takeFault(seen, body.get());
  if (fault.status != 0 || !body) {
    res.status = fault.status != 0 ? fault.status : 404;
    res.set_content("status " + std::to_string(res.status) + "\n", "text/plain");
    return;
  }
  if (fault.resize || fault.flipAt) {
    auto changed = std::make_shared<std::string>(*body);
    if (fault.resize) changed->resize(*fault.resize, '#');
    if (fault.flipAt && *fault.flipAt < changed->size()) (*changed)[*fault.flipAt] ^= 0x5A;
    body = changed;
  }
  const size_t size = body->size();
  Slice part{200, 0, size};
  if (!fault.ignoreRange && req.has_header("Range")) {
    part = slice(req.get_header_value("Range"), size);
  }
  if (part.status == 206) {
    const size_t early = std::min(fault.rangeEarly, part.first);
    part.first -= early;
    part.count += early;
  }
  if (fault.hook && (!fault.hookAfter || part.count == 0)) std::exchange(fault.hook, nullptr)();
  res.status = part.status;
  if (part.status == 416) {
    res.set_header("Content-Range", "bytes */" + std::to_string(size));
    res.set_content("", "text/plain");
    return;
  }
  if (part.status == 206) {
    res.set_header("Content-Range", "bytes " + std::to_string(part.first) + "-" +
                                        std::to_string(part.first + part.count - 1) + "/" +
                                        std::to_string(size));
  }
  const size_t announced = fault.contentLength.value_or(part.count);
  if (announced == 0 && part.count == 0) {
    res.set_content("", "application/octet-stream");
    return;
  }
  // `sent` counts body bytes; the library's offset stops at `announced`.
  auto sent = std::make_shared<size_t>(0);
  auto hook = std::make_shared<std::function<void()>>(fault.hook);
  res.set_content_provider(
      announced, "application/octet-stream",
      [this, body, part, fault, announced, sent, hook, path = req.path](size_t, size_t,
                                                                        httplib::DataSink& sink) {
        const auto hookDue = [&] { return *hook && *sent >= *fault.hookAfter; };
        if (hookDue()) std::exchange(*hook, nullptr)();
        const char* data = body->data() + part.first;
        if (*sent >= part.count) return false;  // announced more than there is
        if (fault.stallAfter && *sent >= *fault.stallAfter) {
          stall();
          return false;
        }
        if (fault.dropAfter && *sent >= *fault.dropAfter) return false;
        // Past the announced length the library would stop asking, so a body
        // longer than announced goes out in this call.
        const bool longer = announced < part.count;
        do {
          size_t end = part.count;
          if (fault.dropAfter) end = std::min(end, *fault.dropAfter);
          if (fault.stallAfter) end = std::min(end, *fault.stallAfter);
          if (*hook) end = std::min(end, *fault.hookAfter);
          const size_t n = longer ? end - *sent : std::min<size_t>(end - *sent, 65536);
          if (n == 0) return true;
          if (!sink.write(data + *sent, n)) return false;
          *sent += n;
          {
            std::lock_guard lock(mutex_);
            sent_[path] += n;
          }
          if (hookDue()) std::exchange(*hook, nullptr)();
        } while (longer && *sent < part.count);
        // Returning false after the last byte makes the library close the connection.
        return !(fault.closeAfterBody && *sent >= part.count);
      });
}

}  // namespace qh
