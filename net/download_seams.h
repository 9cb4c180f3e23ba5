// Two seams under the downloader for tests and fuzz targets: where a
// transfer's connection comes from, and how its bytes reach the ".part".
// Production installs neither. A transfer keeps the seams in force when it
// starts until it ends.
//
//   DownloadSeams::Scope scope({.write = failAfter(1000, ENOSPC)});
//   Downloader::fetchBlocking(...);  // the ".part" fills up after 1000 bytes
//
// tests/support/fake_transport.h builds an in-process server on them.
//
// Thread-safety: scopes may be opened and closed on any thread; transfers
// running meanwhile keep what they started with.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace qh {

struct DownloadSeams {
  // The name of an abstract UNIX-domain socket to which every connection goes
  // instead of the URL's host and port, redirects included; no name is
  // looked up and no proxy used. Empty: the network as usual.
  std::string socketName = {};
  // Called on the transfer's thread before each request goes out, once its
  // connection is up.
  std::function<void()> connected = {};
  // Stands in for ::write(fd, data, size) on the ".part", with its contract:
  // the number of bytes written, or -1 with errno set.
  std::function<ssize_t(int fd, const char* data, size_t size)> write = {};

  // The seams in force, or null.
  static std::shared_ptr<const DownloadSeams> current();

  // Puts seams in force for its lifetime; the ones before it come back after.
  class Scope {
   public:
    explicit Scope(DownloadSeams seams);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    std::shared_ptr<const DownloadSeams> previous_;
  };
};

}  // namespace qh
