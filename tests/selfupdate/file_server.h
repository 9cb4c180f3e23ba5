// A static file server on 127.0.0.1 for the self-update flow: serves a folder,
// records every request target, and answers chosen paths with a status.
#pragma once

#include <httplib.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

class FileServer {
 public:
  explicit FileServer(std::filesystem::path root) : root_(std::move(root)) {
    server_.Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(mutex_);
        targets_.push_back(req.target);
        if (auto it = statuses_.find(req.path); it != statuses_.end()) {
          res.status = it->second;
          res.set_content("<html>error</html>", "text/html");
          return;
        }
      }
      const auto file = root_ / req.path.substr(1);
      std::error_code ec;
      if (!std::filesystem::is_regular_file(file, ec)) {
        res.status = 404;
        return;
      }
      res.set_content(slurp(file), "application/octet-stream");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    // The socket already listens; connections wait until the loop accepts them.
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~FileServer() { stop(); }
  FileServer(const FileServer&) = delete;
  FileServer& operator=(const FileServer&) = delete;

  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  void answer(const std::string& path, int status) {
    std::lock_guard lock(mutex_);
    statuses_[path] = status;
  }
  std::vector<std::string> targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
  }
  // Request targets that start with `prefix`.
  std::vector<std::string> targetsStartingWith(const std::string& prefix) const {
    std::vector<std::string> hits;
    for (const auto& t : targets()) {
      if (t.rfind(prefix, 0) == 0) hits.push_back(t);
    }
    return hits;
  }
  void stop() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
  }

 private:
  std::filesystem::path root_;
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> targets_;
  std::map<std::string, int> statuses_;
};
