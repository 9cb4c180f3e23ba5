// An in-process HTTP(S) server on 127.0.0.1 and a random free port, for tests
// that need a real server which misbehaves on demand.
//
//   TestServer server;                         // plain HTTP; see TestServer(Tls) for HTTPS
//   server.setFile("/manifest.txt", "...");    // served from memory
//   server.serveFolder(dir);                   // or from a folder: /a/b.bin -> dir/a/b.bin
//   server.fault("/a/b.bin", {.dropAfter = 100}, 1);  // the next request only
//   fetch(server.url("/a/b.bin?v=1"));
//   server.requests();                         // what the client sent, in order
//
// Files are served with an open-ended range ("bytes=N-", the only kind the
// launcher asks for) as 206 with "Content-Range", 416 with "Content-Range:
// bytes */<size>" for a range past the end, and 200 for everything else; a
// "Range" the library cannot parse gets a bare 416 from the library itself.
// Unknown paths answer 404. Bodies go out as "application/octet-stream",
// never compressed.
//
// Faults match the request's path without its query ("/a/b.bin"); each applies
// to a number of requests (or all), and the oldest still active wins.
//
// Thread-safety: every member may be called from any thread while the server
// runs; handlers run on the server's own threads. The destructor releases
// stalled answers and stops the server.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
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

class TestServer {
 public:
  struct Fault {
    // Answer this status (with a short text body) instead of the file.
    int status = 0;
    // Close the connection after this many body bytes.
    std::optional<size_t> dropAfter = std::nullopt;
    // After this many body bytes send nothing more until releaseStalls() or
    // the server stops; after a release the rest of the body follows.
    std::optional<size_t> stallAfter = std::nullopt;
    // Announce this "Content-Length" whatever the body is. Shorter than the
    // body: the whole body is sent anyway; longer: the connection is closed
    // after the body.
    std::optional<size_t> contentLength = std::nullopt;
    // Extra response headers.
    std::map<std::string, std::string> headers = {};
  };

  // One request as it arrived.
  struct Request {
    std::string method;
    std::string target;  // path and query as sent, still percent-encoded
    std::string path;    // decoded path, no query
    std::string query;   // the text after "?", "" when none
    std::multimap<std::string, std::string> headers;  // names lower-cased
    // The first value of header `name` (any case), "" when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
  };

  // An answer read off a plain socket by rawGet().
  struct RawResponse {
    int status = 0;
    std::multimap<std::string, std::string> headers;  // names lower-cased
    std::string body;  // every byte after the header block, until the server closed
    std::string raw;   // the whole answer as received
    std::string header(const std::string& name) const;
  };

  // Sends one plain-HTTP GET of `target` with "Connection: close" to
  // 127.0.0.1:`port` and reads until the server closes (or 5 s of silence).
  // It trusts no length, so it shows faults a real client would refuse.
  static RawResponse rawGet(int port, const std::string& target,
                            const std::vector<std::pair<std::string, std::string>>& headers = {});

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

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" (or https) followed by `pathAndQuery`.
  std::string url(const std::string& pathAndQuery = "") const;

  // Serves `bytes` at `path` (exact, decoded, starting with "/").
  void setFile(const std::string& path, std::string bytes);
  // Serves every file under `folder`; memory files win over it.
  void serveFolder(const std::filesystem::path& folder);
  // Turns range support off (every answer a whole-file 200) or back on.
  void setRangeSupport(bool on);
  // Applies `fault` to the next `times` requests of `path` (-1: all of them).
  void fault(const std::string& path, Fault fault, int times = -1);
  // Lets every stalled answer continue.
  void releaseStalls();

  std::vector<Request> requests() const;
  // The requests of one path (decoded, without query).
  std::vector<Request> requests(const std::string& path) const;
  void clearRequests();

 private:
  struct ActiveFault {
    std::string path;
    Fault fault;
    int remaining;
  };

  void start();
  void handle(const httplib::Request& req, httplib::Response& res);
  std::optional<std::shared_ptr<const std::string>> content(const std::string& path) const;
  std::optional<Fault> takeFault(const std::string& path);
  // Blocks until the stall generation moves past `generation` or the server stops.
  void waitForRelease(uint64_t generation);

  std::unique_ptr<httplib::Server> server_;
  bool tls_ = false;
  int port_ = 0;
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable released_;
  uint64_t stallGeneration_ = 0;
  bool stopping_ = false;
  bool ranges_ = true;
  std::map<std::string, std::shared_ptr<const std::string>> files_;
  std::optional<std::filesystem::path> folder_;
  std::vector<ActiveFault> faults_;
  std::vector<Request> requests_;
};
