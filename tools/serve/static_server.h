// A static file server over one folder: GET and HEAD, byte ranges, query
// strings ignored, no listings, nothing outside the folder. For the demo and
// the tests; production uses any static host.
// Thread-safety: bind/start/stop from one thread; requests are served on a pool.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace qh {

class StaticServer {
 public:
  explicit StaticServer(std::filesystem::path root);
  ~StaticServer();
  StaticServer(const StaticServer&) = delete;
  StaticServer& operator=(const StaticServer&) = delete;

  // Binds to `host`:`port` (0 picks a free port); returns the port, or -1.
  int bind(const std::string& host, int port);
  // Serves until stop(); returns false when it could not serve.
  bool listen();
  // Serves on a thread of its own.
  void start();
  void stop();
  // "http://host:port", once bound.
  std::string url() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qh
