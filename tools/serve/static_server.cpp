#include "tools/serve/static_server.h"

#include <fcntl.h>
#include <httplib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <thread>

namespace qh {

namespace fs = std::filesystem;

namespace {

constexpr size_t chunkSize = 256 * 1024;

// The file for a decoded request path, or nullopt for anything that is not a
// regular file inside `root` ("..", NUL bytes, links leading out, folders).
std::optional<fs::path> resolve(const fs::path& root, const std::string& urlPath) {
  if (urlPath.find('\0') != std::string::npos) return std::nullopt;
  fs::path file = root;
  size_t start = 0;
  while (start <= urlPath.size()) {
    size_t slash = urlPath.find('/', start);
    if (slash == std::string::npos) slash = urlPath.size();
    const std::string part = urlPath.substr(start, slash - start);
    if (part == "." || part == "..") return std::nullopt;
    if (!part.empty()) file /= part;
    start = slash + 1;
  }
  std::error_code ec;
  const fs::path real = fs::canonical(file, ec);
  if (ec) return std::nullopt;
  const std::string r = real.string(), base = root.string();
  if (r.size() <= base.size() || r.compare(0, base.size(), base) != 0 ||
      (base != "/" && r[base.size()] != '/')) {
    return std::nullopt;
  }
  if (!fs::is_regular_file(real, ec)) return std::nullopt;
  return real;
}

std::string contentType(const fs::path& file) {
  const std::string ext = file.extension().string();
  if (ext == ".txt" || ext == ".cfg") return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

void serveFile(const fs::path& root, const httplib::Request& req, httplib::Response& res) {
  const auto file = resolve(root, req.path);
  const int fd = file ? ::open(file->c_str(), O_RDONLY | O_CLOEXEC) : -1;
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    if (fd >= 0) ::close(fd);
    res.status = 404;
    res.set_content("not found\n", "text/plain");
    return;
  }
  const auto size = static_cast<ssize_t>(st.st_size);
  for (const auto& [first, last] : req.ranges) {
    const bool satisfiable = first >= 0 ? first < size && (last < 0 || first <= last) : last > 0;
    if (!satisfiable) {
      ::close(fd);
      res.status = 416;
      res.set_header("Content-Range", "bytes */" + std::to_string(size));
      return;
    }
  }
  if (st.st_size == 0) {
    ::close(fd);
    res.set_content("", contentType(*file));
    return;
  }
  res.set_content_provider(
      static_cast<size_t>(st.st_size), contentType(*file),
      [fd](size_t offset, size_t length, httplib::DataSink& sink) {
        std::string buf(std::min(length, chunkSize), '\0');
        const ssize_t n = ::pread(fd, buf.data(), buf.size(), static_cast<off_t>(offset));
        if (n <= 0) return false;
        return sink.write(buf.data(), static_cast<size_t>(n));
      },
      [fd](bool) { ::close(fd); });
}

}  // namespace

struct StaticServer::Impl {
  fs::path root;
  httplib::Server server;
  std::thread thread;
  std::string host;
  int port = -1;
};

StaticServer::StaticServer(fs::path root) : impl_(std::make_unique<Impl>()) {
  std::error_code ec;
  impl_->root = fs::canonical(root, ec);
  if (ec) impl_->root = root;
  impl_->server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  impl_->server.set_keep_alive_max_count(1000);
  // Headers and body go out in separate writes: without this, each small
  // file on a kept-alive connection waits for the client's delayed ACK.
  impl_->server.set_tcp_nodelay(true);
  // The library's default also sets SO_REUSEPORT, which lets a second server
  // share a port that is in use instead of failing.
  impl_->server.set_socket_options([](int sock) {
    const int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  impl_->server.Get(".*", [r = impl_->root](const httplib::Request& req, httplib::Response& res) {
    serveFile(r, req, res);
  });
}

StaticServer::~StaticServer() {
  stop();
}

int StaticServer::bind(const std::string& host, int port) {
  impl_->host = host;
  if (port == 0) {
    impl_->port = impl_->server.bind_to_any_port(host);
  } else {
    impl_->port = impl_->server.bind_to_port(host, port) ? port : -1;
  }
  return impl_->port;
}

bool StaticServer::listen() {
  return impl_->server.listen_after_bind();
}

void StaticServer::start() {
  impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
  while (!impl_->server.is_running()) std::this_thread::yield();
}

void StaticServer::stop() {
  impl_->server.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

std::string StaticServer::url() const {
  return "http://" + impl_->host + ":" + std::to_string(impl_->port);
}

}  // namespace qh
