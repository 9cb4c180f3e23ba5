// A small HTTP/1.1 file server on 127.0.0.1 written on raw sockets, so a test
// controls every byte of an answer: for each request a planner picks how to
// misbehave (drop the connection at any byte, stall, answer with a status,
// ignore or misstate the range, send a longer, shorter or corrupted body, or
// call a hook at a chosen byte). Each connection serves one request.
// Thread-safety: the planner and the hook run on connection threads, one call
// at a time per connection but concurrently across connections.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

class FaultyServer {
 public:
  struct Request {
    std::string target;                 // as sent, query included
    std::string path;                   // decoded, query removed
    std::optional<int64_t> rangeStart;  // from "Range: bytes=<n>-"
  };

  struct Plan {
    enum class Kind {
      normal,       // the file, honouring an open-ended range
      status,       // `status` with a short body
      drop,         // headers and `at` bytes of the body, then close
      reset,        // the same, closed with a TCP reset
      stall,        // headers and `at` bytes (none when `at` < 0), then silence
      ignoreRange,  // 200 and the whole file, whatever was asked
      badRange,     // 206 whose Content-Range starts elsewhere than asked
      longBody,     // `at` extra bytes after the file's, announced as such
      shortBody,    // `at` bytes fewer, announced as such
      corrupt,      // one byte at body offset `at` flipped
      hook,         // `at` bytes of the body (before the headers when < 0),
                    // then the hook, then the rest
    };
    Kind kind = Kind::normal;
    int status = 0;
    int64_t at = 0;
  };

  // `size` is the file's size, or -1 when the server has no such file.
  using Planner = std::function<Plan(const Request& request, int64_t size)>;
  using Hook = std::function<void(const Request& request)>;

  FaultyServer(std::filesystem::path root, Planner planner, Hook hook = {});
  ~FaultyServer();
  FaultyServer(const FaultyServer&) = delete;
  FaultyServer& operator=(const FaultyServer&) = delete;

  std::string url() const;
  // Body bytes written to sockets so far, text resources (".txt") excluded.
  int64_t fileBytesSent() const { return fileBytes_.load(); }
  int64_t requests() const { return requests_.load(); }

 private:
  void acceptLoop();
  void serve(int fd);
  void answer(int fd, const Request& request);
  bool sendAll(int fd, const char* data, size_t size, bool countAsFile);
  void waitForPeerClose(int fd);

  std::filesystem::path root_;
  Planner planner_;
  Hook hook_;
  int listenFd_ = -1;
  int port_ = 0;
  std::thread acceptThread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int64_t> fileBytes_{0};
  std::atomic<int64_t> requests_{0};
  std::mutex mutex_;
  std::condition_variable idle_;
  std::set<int> open_;
  int active_ = 0;
};
