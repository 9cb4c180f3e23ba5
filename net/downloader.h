// Moves one file from the distribution server to disk: resumes from
// "<destination>.part" with an open-ended range request, holds the transfer to
// the user's speed step, reports progress, then checks the ".part"'s size and
// checksums and puts the file in place.
//
// Requests are made as Net's are (user agent, time-outs, certificate checks,
// the QH_CA_FILE test hook; see net/net.h). The request's Transport
// (net/transport.h) carries the connection and the ".part" writes.
//
//   Downloader::fetchBlocking({.url = url, .target = file, .expectedSize = size,
//                              .sha1 = sha1, .progress = onProgress});
#pragma once

#include <qcoro/qcorotask.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/timing.h"
#include "net/transport.h"

namespace qh {

struct DownloadRequest;

class Downloader {
 public:
  // Bytes of the file present so far (resume offset + bytes received); at most
  // once per Timing::progressInterval, plus once when the transfer ends.
  // Called on the transfer's own thread, never the main thread.
  using Progress = std::function<void(int64_t bytesPresent)>;
  // Set it true (any thread) to abort; the ".part" stays for a later resume.
  using Cancel = std::shared_ptr<std::atomic<bool>>;

  // Downloads request.url to request.target. Never retries.
  // Throws:
  //  - std::filesystem::filesystem_error when the target's folder cannot be
  //    made (nothing is sent) or the target cannot be replaced;
  //  - NetError::shortMessage("bad URL ...") for text that is not a URL;
  //  - NetError::http(status, answering URL) for a status other than 200/206,
  //    leaving the ".part" as it was;
  //  - TransportError (connection, time-out, TLS, cancel) and
  //    std::system_error (".part" not writable, disk full): the ".part" keeps
  //    what arrived, for a resume;
  //  - NetError::integrity on a wrong size (the file stays at the target) or
  //    a wrong checksum (the file is removed).
  // Thread-safety: blocks for the whole transfer; worker threads only.
  static void fetchBlocking(const DownloadRequest& request);

  // fetchBlocking on a thread of its own; the caller resumes on its thread.
  // Thread-safety: await from the main thread.
  static QCoro::Task<> fetch(DownloadRequest request);

  // Cancels every transfer running now, as quitting does, and waits up to
  // `seconds` for their threads to let go of their files. Each ".part" keeps
  // what arrived, for the next start to resume. Returns whether all stopped.
  // A transfer notices within about a second, also while the server sends
  // nothing; one already checking its file finishes that first.
  // Thread-safety: any thread.
  static bool cancelAll(double seconds);

  // Puts `cancel` among the transfers cancelAll stops, for as long as it
  // lives: a thread fetching files one after another is then stopped between
  // two of them as well, not only during one. Check the flag before each.
  class Hold {
   public:
    explicit Hold(Cancel cancel);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    Cancel cancel_;
  };

  // "<target>.part": the same folder, the same name followed by ".part".
  static std::filesystem::path partFile(const std::filesystem::path& target);
};

// One transfer: what to fetch, where to, what it must be, and what it runs on.
struct DownloadRequest {
  std::string url;
  std::filesystem::path target;
  // Negative: unknown, and the size is not checked.
  int64_t expectedSize = -1;
  // Hex, compared without regard to case; empty: not checked.
  std::string sha1 = {};
  std::string sha256 = {};
  Downloader::Progress progress = {};
  Timing timing = {};
  // Absent: only cancelAll stops the transfer.
  Downloader::Cancel cancel = {};
  std::shared_ptr<Transport> transport = Transport::network();
};

}  // namespace qh
