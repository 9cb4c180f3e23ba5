#include "bench/common/bench_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "platform/process.h"
#include "platform/system_error.h"

namespace qh {

namespace fs = std::filesystem;

namespace bench {

Scratch::Scratch() {
  std::string tmpl = (fs::temp_directory_path() / "qh-bench-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

Scratch::~Scratch() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void isolateHome(const fs::path& folder) {
  fs::create_directories(folder / "config");
  setenv("HOME", folder.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
}

void writeFile(const fs::path& file, uint64_t size) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  std::vector<uint64_t> block(1 << 17);  // 1 MiB
  uint64_t x = 0x9E3779B97F4A7C15ull;
  for (uint64_t written = 0; written < size;) {
    for (auto& w : block) {
      x ^= x << 13, x ^= x >> 7, x ^= x << 17;
      w = x;
    }
    const uint64_t n = std::min<uint64_t>(size - written, block.size() * sizeof(uint64_t));
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    written += n;
  }
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

void warm(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::vector<char> buffer(1 << 20);
  while (::read(fd, buffer.data(), buffer.size()) > 0) {
  }
  ::close(fd);
}

namespace {

Process::Request quiet(const std::vector<std::string>& argv) {
  Process::Request request{argv.at(0), {argv.begin() + 1, argv.end()}};
  request.output = request.error = Process::Stream::nullDevice();
  return request;
}

}  // namespace

int run(const std::vector<std::string>& argv) {
  return Process::run(quiet(argv));
}

Output capture(const std::vector<std::string>& argv) {
  Output out;
  out.status = Process::runReading(quiet(argv), [&out](std::string_view chunk) {
    out.text += chunk;
    return true;
  });
  return out;
}

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double seconds(const std::function<void()>& work) {
  const double start = now();
  work();
  return now() - start;
}

double best(int n, const std::function<void()>& work) {
  double b = 1e300;
  for (int i = 0; i < n; ++i) b = std::min(b, seconds(work));
  return b;
}

double peakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

namespace {

int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    throw std::runtime_error("no free port");
  }
  ::close(fd);
  return ntohs(addr.sin_port);
}

bool accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

Nginx::Nginx(const fs::path& root, const fs::path& work, const std::optional<NginxTls>& tls,
             int64_t rate)
    : port_(freePort()), tls_(tls.has_value()) {
  std::string listen = "    listen 127.0.0.1:" + std::to_string(port_);
  if (tls) {
    listen += " ssl;\n    ssl_certificate " + tls->certificate.string() +
              ";\n    ssl_certificate_key " + tls->key.string();
  }
  fs::create_directories(work);
  const fs::path conf = work / "nginx.conf";
  std::ofstream(conf) << (geteuid() == 0 ? "user root;\n" : "")  //
                      << "daemon off;\n"
                      << "worker_processes 1;\n"
                      << "pid " << (work / "nginx.pid").string() << ";\n"
                      << "error_log " << (work / "error.log").string() << ";\n"
                      << "events { worker_connections 64; }\n"
                      << "http {\n"
                      << "  access_log off;\n"
                      << "  sendfile on;\n"
                      << "  client_body_temp_path " << (work / "body").string() << ";\n"
                      << "  proxy_temp_path " << (work / "proxy").string() << ";\n"
                      << "  fastcgi_temp_path " << (work / "fastcgi").string() << ";\n"
                      << "  uwsgi_temp_path " << (work / "uwsgi").string() << ";\n"
                      << "  scgi_temp_path " << (work / "scgi").string() << ";\n"
                      << "  types { application/octet-stream bin; }\n"
                      << "  server {\n"
                      << listen << ";\n"
                      << "    root " << root.string() << ";\n"
                      << (rate > 0 ? "    limit_rate " + std::to_string(rate) + ";\n" : "")
                      << "  }\n"
                      << "}\n";
  const std::string prefix = work.string() + "/";
  const Process::Started nginx =
      Process::spawn(quiet({"/usr/sbin/nginx", "-p", prefix, "-c", conf.string()}));
  if (nginx.error) throw systemError("start", "/usr/sbin/nginx", nginx.error);
  pid_ = nginx.pid;
  for (int i = 0; i < 500 && !accepts(port_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!accepts(port_)) throw std::runtime_error("nginx did not start; see " + prefix + "error.log");
}

Nginx::~Nginx() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGQUIT);
  Process::wait(pid_);
}

std::string Nginx::url(const std::string& path) const {
  return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

}  // namespace bench

}  // namespace qh
