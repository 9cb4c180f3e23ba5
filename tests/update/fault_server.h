// An in-process HTTP server over a folder that can answer chosen paths with a
// status or drop the connection halfway, a given number of times, and records
// every request target (path and query) in order.
#pragma once

#include <httplib.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

class FaultServer {
 public:
  struct Fault {
    int status = 0;       // answer with this status, or
    bool drop = false;    // send half the body and close
    int times = 1 << 30;  // for this many requests
  };

  explicit FaultServer(std::filesystem::path root) : root_(std::move(root)) {
    server_.Get(".*",
                [this](const httplib::Request& req, httplib::Response& res) { handle(req, res); });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~FaultServer() {
    server_.stop();
    thread_.join();
  }

  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

  void fail(const std::string& path, Fault fault) {
    std::lock_guard lock(mutex_);
    faults_[path] = fault;
  }
  void heal() {
    std::lock_guard lock(mutex_);
    faults_.clear();
  }
  std::vector<std::string> targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
  }
  // The targets whose path is `path`.
  std::vector<std::string> targetsFor(const std::string& path) const {
    std::vector<std::string> out;
    for (const auto& t : targets()) {
      if (t.substr(0, t.find('?')) == path) out.push_back(t);
    }
    return out;
  }
  std::vector<std::string> ranges() const {
    std::lock_guard lock(mutex_);
    return ranges_;
  }
  void clearLog() {
    std::lock_guard lock(mutex_);
    targets_.clear();
    ranges_.clear();
  }

 private:
  void handle(const httplib::Request& req, httplib::Response& res) {
    Fault fault;
    {
      std::lock_guard lock(mutex_);
      targets_.push_back(req.target);
      ranges_.push_back(req.get_header_value("Range"));
      if (auto it = faults_.find(req.path); it != faults_.end() && it->second.times > 0) {
        --it->second.times;
        fault = it->second;
      }
    }
    if (fault.status) {
      res.status = fault.status;
      res.set_content("fault", "text/plain");
      return;
    }
    const auto file = root_ / req.path.substr(1);
    std::error_code ec;
    if (req.path.find("..") != std::string::npos || !std::filesystem::is_regular_file(file, ec)) {
      res.status = 404;
      res.set_content("not found", "text/plain");
      return;
    }
    std::string body = slurp(file);
    if (fault.drop) {
      const size_t size = body.size();
      res.set_content_provider(size, "application/octet-stream",
                               [body](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset > 0) return false;
                                 sink.write(body.data(), body.size() / 2);
                                 return false;
                               });
      return;
    }
    res.set_content(body, "application/octet-stream");
  }

  std::filesystem::path root_;
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::map<std::string, Fault> faults_;
  std::vector<std::string> targets_;
  std::vector<std::string> ranges_;
};
