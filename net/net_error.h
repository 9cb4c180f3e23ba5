// The errors of every network and download failure.
// Thread-safety: plain values; throw and copy them on any thread.
#pragma once

#include <string>

#include "core/error.h"

namespace qh {

// A failure the user reads: what() is the exact text the window shows after
// "Problem: " and the download error log records.
class NetError : public Error {
 public:
  enum class Kind { http, integrity, shortMessage };

  // "HTTP <status> for <url>"; status 0 when the answer was not HTTP.
  static NetError http(int status, std::string url);
  // A size or checksum check failed; what() is `message`.
  static NetError integrity(std::string message);
  // Any other short failure ("bad URL ..."); what() is `message`.
  static NetError shortMessage(std::string message);

  Kind kind() const { return kind_; }
  // The HTTP status of an http error, 0 otherwise.
  int status() const { return status_; }

 private:
  NetError(Kind kind, int status, const std::string& description);

  Kind kind_;
  int status_;
};

// No connection, time-out, TLS failure, cancellation: what() is curl's own
// message, with its detail when curl gave one.
class TransportError : public Error {
 public:
  using Error::Error;
};

}  // namespace qh
