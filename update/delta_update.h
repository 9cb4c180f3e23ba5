// Brings a large file up to date from its old copy: fetches the server's
// block map, finds the blocks the old copy holds (update/block_scan.h),
// writes the new file into its ".part" from front to back, the blocks found
// copied and the rest fetched with range requests, then checks its size and
// SHA-1 as the downloader does before it takes the final name. Any failure
// leaves the old file as it was and no ".part": the caller then downloads the
// file whole. docs/delta.md has the whole design.
// Thread-safety: blocks for the whole update; worker threads only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/timing.h"
#include "net/downloader.h"
#include "net/transport.h"

namespace qh::DeltaUpdate {

struct Request {
  std::string fileUrl;
  std::string mapUrl;
  std::filesystem::path target;
  int64_t expectedSize = 0;
  std::string sha1;
  // Bytes fetched from the server so far, the map's included (what the
  // status line counts).
  Downloader::Progress progress = {};
  // Once the old file is scanned: the bytes the update will fetch, the map's
  // included, when it succeeds.
  std::function<void(int64_t bytes)> planned = {};
  Timing timing = {};
  Downloader::Cancel cancel = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<Transport> transport = Transport::network();
};

// What one update cost.
struct Result {
  int64_t fetched = 0;  // body bytes over the network, the map's included
  int64_t reused = 0;   // bytes copied from the old file
  int ranges = 0;       // range requests
};

// Whether a delta can help: a file of at least BlockMap::minFileSize whose
// target is a regular file of its own, with no ".part" waiting for a resume.
bool worthTrying(const std::filesystem::path& target, int64_t expectedSize);

// Throws Error (NetError, TransportError: "Download cancelled") or
// std::system_error with the reason; the target is then untouched.
Result apply(const Request& request);

// apply() with the failure logged: true when the file is in place, false when
// the caller should download it whole.
bool tryApply(const Request& request);

}  // namespace qh::DeltaUpdate
