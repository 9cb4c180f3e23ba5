// A private nginx serving one folder on a free port of 127.0.0.1, with its own
// configuration, logs and pid file in a temporary folder; never the system's
// service. Stopped (SIGTERM to our own child) when destroyed.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QProcess>
#include <filesystem>
#include <memory>
#include <string>

#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh {

class Nginx {
 public:
  static constexpr const char* binary = "/usr/sbin/nginx";

  static bool available() { return ::access(binary, X_OK) == 0; }

  // Serves `root`; ok() tells whether it answers.
  explicit Nginx(const std::filesystem::path& root) {
    port_ = freePort();
    const auto conf = dir_.write("nginx.conf", config(root));
    process_.start(binary, {"-p", QString::fromStdString(dir_.path().string()), "-c",
                            QString::fromStdString(conf.string()), "-e",
                            QString::fromStdString((dir_ / "error.log").string())});
    ok_ = process_.waitForStarted() &&
          spinUntil([&] { return answers() || process_.state() == QProcess::NotRunning; }) &&
          answers();
  }
  ~Nginx() {
    process_.terminate();
    if (!process_.waitForFinished(10000)) process_.kill();
    process_.waitForFinished();
  }

  bool ok() const { return ok_; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string errorLog() const { return slurp(dir_ / "error.log"); }

 private:
  std::string config(const std::filesystem::path& root) const {
    const std::string d = dir_.path().string();
    return "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + d +
           "/nginx.pid;\nerror_log " + d +
           "/error.log;\nevents { worker_connections 256; }\nhttp {\n  access_log off;\n"
           "  client_body_temp_path " +
           d + "/body;\n  proxy_temp_path " + d + "/proxy;\n  fastcgi_temp_path " + d +
           "/fastcgi;\n  uwsgi_temp_path " + d + "/uwsgi;\n  scgi_temp_path " + d +
           "/scgi;\n  sendfile on;\n  server {\n    listen 127.0.0.1:" + std::to_string(port_) +
           ";\n    root " + root.string() + ";\n    autoindex off;\n    location / { }\n  }\n}\n";
  }

  static int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
  }

  bool answers() const {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port_));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
  }

  TempDir dir_;
  QProcess process_;
  int port_ = 0;
  bool ok_ = false;
};

}  // namespace qh
