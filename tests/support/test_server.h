// An in-process HTTP(S) server on 127.0.0.1 and a free port that misbehaves
// on demand:
//
//   TestServer server;                                // TestServer(Tls) for HTTPS
//   server.setFile("/manifest.txt", "...");           // or serveFolder(dir)
//   server.fault("/a/b.bin", {.dropAfter = 100}, 1);  // the next request only
//   server.requests();                                // what the client sent, in order
//
// Files answer one range ("bytes=N-" or "bytes=N-M", the kinds the launcher
// asks for) with 206 and "Content-Range", one past the end with 416 and
// "bytes */<size>", anything else with 200; unknown paths 404. Faults match
// the path without its query; the oldest still active wins.
// Thread-safety: any member from any thread; handlers, hooks and the planner
// run on the server's threads. The destructor releases stalls and stops it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace qh {

class TestServer {
 public:
  struct Fault {
    // Answer this status (with a short text body) instead of the file.
    int status = 0;
    // Close the connection after this many body bytes.
    std::optional<size_t> dropAfter = std::nullopt;
    // After this many body bytes send nothing more until the server stops.
    std::optional<size_t> stallAfter = std::nullopt;
    // Announce this "Content-Length" whatever the body is. Shorter than the
    // body: the whole body is sent anyway (in two writes around the hook when
    // `hookAfter` is the announced length); longer: the connection is closed
    // after the body.
    std::optional<size_t> contentLength = std::nullopt;
    // Close the connection once the body is out, without saying so before.
    bool closeAfterBody = false;
    // Serve the file as if it were this long (cut short or padded), with one
    // byte flipped, or answering a range with the whole file or with a 206
    // that starts `rangeEarly` bytes before the asked offset.
    std::optional<size_t> resize = std::nullopt;
    std::optional<size_t> flipAt = std::nullopt;
    bool ignoreRange = false;
    size_t rangeEarly = 0;
    // Called before the answer, or once `hookAfter` body bytes are out.
    std::function<void()> hook = nullptr;
    std::optional<size_t> hookAfter = std::nullopt;
  };

  // One request as it arrived.
  struct Request {
    std::string target;  // path and query as sent, still percent-encoded
    std::string path;    // decoded path, no query
    std::multimap<std::string, std::string> headers;  // names lower-cased
    int port = 0;                                     // the client's: one per connection
    // The first value of header `name` (any case), "" when absent.
    std::string header(const std::string& name) const;
  };

  struct Tls {
    std::filesystem::path certificateFile;  // PEM, the server's chain
    std::filesystem::path keyFile;          // PEM, its private key
  };

  // Plain HTTP.
  TestServer();
  // HTTPS with the given certificate (see test_tls.h to make one).
  explicit TestServer(const Tls& tls);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  // "http://127.0.0.1:<port>" (or https) followed by `pathAndQuery`.
  std::string url(const std::string& pathAndQuery = "") const;

  // Serves `bytes` at `path` (exact, decoded, starting with "/").
  void setFile(const std::string& path, std::string bytes);
  // Serves every file under `folder`; memory files win over it.
  void serveFolder(const std::filesystem::path& folder);
  // Applies `fault` to the next `times` requests of `path` (-1: all of them).
  void fault(const std::string& path, Fault fault, int times = -1);
  // Picks the fault of each request for a file that no fault() matched.
  using Planner = std::function<Fault(const Request& request, size_t size)>;
  void setPlanner(Planner planner);
  // Blocks the calling hook until the server stops.
  void stall();

  std::vector<Request> requests() const;
  // The requests of one path (decoded, without query).
  std::vector<Request> requests(const std::string& path) const;
  void clearRequests();
  // Body bytes sent so far, by path.
  std::map<std::string, uint64_t> bytesSent() const;

 private:
  struct ActiveFault {
    std::string path;
    Fault fault;
    int remaining;
  };

  void start();
  void handle(const httplib::Request& req, httplib::Response& res);
  std::shared_ptr<const std::string> content(const std::string& path) const;
  Fault takeFault(const Request& request, const std::string* body);

  std::unique_ptr<httplib::Server> server_;
  bool tls_ = false;
  int port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool stopping_ = false;
  std::map<std::string, std::shared_ptr<const std::string>> files_;
  std::optional<std::filesystem::path> folder_;
  std::vector<ActiveFault> faults_;
  Planner planner_;
  std::vector<Request> requests_;
  std::map<std::string, uint64_t> sent_;
};

}  // namespace qh
