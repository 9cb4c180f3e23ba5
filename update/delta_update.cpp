#include "update/delta_update.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "net/hash.h"
#include "net/net_error.h"
#include "net/range_fetch.h"
#include "net/range_prefetch.h"
#include "net/trailing_digests.h"
#include "platform/platform.h"
#include "platform/system_error.h"
#include "platform/unique_fd.h"
#include "update/block_map.h"
#include "update/block_scan.h"

namespace qh::DeltaUpdate {

namespace fs = std::filesystem;

namespace {

// Found bytes between two missing runs shorter than this are fetched with
// them: one request fewer costs more than the bytes.
constexpr int64_t mergeGap = 64 * 1024;
// The most bytes copied from the old file at a time.
constexpr size_t copyChunk = 1024 * 1024;
// The most fetched bytes that wait in memory for the copy to reach them.
constexpr size_t prefetchAhead = 64 * 1024 * 1024;

// The ".part" written from front to back, hashed as it is written: on a
// second core, as the downloader does, since copying the old file's blocks
// runs at memory speed and would otherwise wait for SHA-1.
class Assembly {
 public:
  Assembly(const fs::path& part, Transport& transport)
      : part_(part),
        transport_(transport),
        fd_(::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644)),
        sha1_({Hash::Algorithm::sha1}) {
    if (!fd_) throw systemError("open for writing", part, lastSystemError());
  }

  void write(const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
      const ssize_t n = transport_.write(fd_.get(), data + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw systemError("write", part_, lastSystemError());
      done += static_cast<size_t>(n);
    }
    sha1_.update(reinterpret_cast<const unsigned char*>(data), size);
    written_ += static_cast<int64_t>(size);
  }

  // Closes the file; the SHA-1 of everything written.
  std::string finish() {
    if (::close(fd_.release()) != 0) throw systemError("write", part_, lastSystemError());
    return sha1_.hex().front();
  }

  int64_t written() const { return written_; }

 private:
  const fs::path& part_;
  Transport& transport_;
  UniqueFd fd_;
  TrailingDigests sha1_;
  int64_t written_ = 0;
};

// One stretch of the new file: bytes of the old file, or a range to fetch.
struct Piece {
  bool fetched = false;
  int64_t from = 0;  // the old file's offset, or the new file's
  int64_t length = 0;
};

// The new file as pieces in order: runs of blocks that lie one after another
// in the old file are copied in one piece, missing blocks fetched, and found
// blocks between two missing runs fetched with them when they are too few to
// be worth a request of their own.
std::vector<Piece> plan(const BlockMap& map, const std::vector<int64_t>& found) {
  std::vector<Piece> pieces;
  for (size_t i = 0; i < found.size();) {
    size_t end = i;
    if (found[i] >= 0) {
      int64_t length = 0;
      for (; end < found.size() && found[end] == found[i] + length; ++end) {
        length += map.blockLength(end);
      }
      pieces.push_back({false, found[i], length});
    } else {
      for (;;) {
        while (end < found.size() && found[end] < 0) ++end;
        size_t next = end;
        while (next < found.size() && found[next] >= 0) ++next;
        if (next == found.size() || map.blockStart(next) - map.blockStart(end) > mergeGap) break;
        end = next;
      }
      const int64_t first = map.blockStart(i);
      pieces.push_back({true, first, map.blockStart(end - 1) + map.blockLength(end - 1) - first});
    }
    i = end;
  }
  return pieces;
}

class Delta {
 public:
  explicit Delta(const Request& request)
      : request_(request),
        part_(Downloader::partFile(request.target)),
        fetch_(request.timing, request.transport, request.cancel) {}

  Result run() {
    const std::string bytes = fetch_.get(request_.mapUrl, BlockMap::maxBytes);
    fetched_ = static_cast<int64_t>(bytes.size());
    const BlockMap map = BlockMap::parse(bytes, request_.expectedSize, request_.sha1);
    const std::vector<Piece> pieces =
        plan(map, BlockScan::find(map, request_.target, *request_.cancel));
    const UniqueFd old(::open(request_.target.c_str(), O_RDONLY | O_CLOEXEC));
    if (!old) throw systemError("open", request_.target, lastSystemError());
    Assembly out(part_, *request_.transport);
    {
      std::vector<RangePrefetch::Range> ranges;
      int64_t planned = fetched_;
      for (const Piece& p : pieces) {
        if (!p.fetched) continue;
        ranges.push_back({p.from, p.length});
        planned += p.length;
      }
      if (request_.planned) request_.planned(planned);
      // The line shows the smaller total now, not after the first range.
      if (request_.progress) request_.progress(fetched_);
      result_.ranges = static_cast<int>(ranges.size());
      // The network fetches the missing pieces while the old file's are copied.
      RangePrefetch prefetch(fetch_, request_.fileUrl, std::move(ranges), prefetchAhead);
      for (const Piece& p : pieces) {
        if (p.fetched) {
          prefetch.take([&](const char* data, size_t size) { wrote(out, data, size); });
        } else {
          copy(p, old.get(), out);
        }
      }
    }
    if (request_.progress) request_.progress(fetched_);
    const std::string sha1 = out.finish();
    const std::string name = request_.target.filename().string();
    if (out.written() != request_.expectedSize) {
      throw NetError::integrity("Size mismatch for " + name + " (" + std::to_string(out.written()) +
                                " vs " + std::to_string(request_.expectedSize) + ")");
    }
    if (sha1 != Text::lower(request_.sha1)) {
      throw NetError::integrity("Integrity check failed for " + name + " (block map or old copy)");
    }
    fs::rename(part_, request_.target);
    result_.fetched = fetch_.received();
    return result_;
  }

  const fs::path& part() const { return part_; }

 private:
  void copy(const Piece& piece, int fd, Assembly& out) {
    buffer_.resize(copyChunk);
    for (int64_t at = 0; at < piece.length;) {
      if (request_.cancel->load()) throw TransportError("Download cancelled");
      const size_t want = static_cast<size_t>(std::min<int64_t>(copyChunk, piece.length - at));
      const ssize_t n = ::pread(fd, buffer_.data(), want, piece.from + at);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw systemError("read", request_.target, lastSystemError());
      if (n == 0) throw Error(request_.target.filename().string() + " changed while being updated");
      out.write(buffer_.data(), static_cast<size_t>(n));
      // The old copy goes at the end anyway: its pages, let go as they are
      // copied, take the new file's, so the update holds one copy of the
      // file in memory, not two.
      Platform::adviseDoneReading(fd, piece.from + at, n);
      at += n;
    }
    result_.reused += piece.length;
  }

  // Writes fetched bytes and reports them, at most once per progress interval.
  void wrote(Assembly& out, const char* data, size_t size) {
    out.write(data, size);
    fetched_ += static_cast<int64_t>(size);
    const double now = request_.timing.clock->now();
    if (request_.progress && now - lastReport_ > request_.timing.progressInterval) {
      lastReport_ = now;
      request_.progress(fetched_);
    }
  }

  const Request& request_;
  fs::path part_;
  RangeFetch fetch_;
  Result result_;
  std::vector<char> buffer_;
  int64_t fetched_ = 0;
  double lastReport_ = -1e300;
};

}  // namespace

bool worthTrying(const fs::path& target, int64_t expectedSize) {
  if (expectedSize < BlockMap::minFileSize) return false;
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(target, ec))) return false;
  return !fs::exists(fs::symlink_status(Downloader::partFile(target), ec));
}

Result apply(const Request& request) {
  Delta delta(request);
  try {
    return delta.run();
  } catch (...) {
    std::error_code ec;
    fs::remove(delta.part(), ec);
    throw;
  }
}

bool tryApply(const Request& request) {
  const std::string name = request.target.filename().string();
  try {
    const Result r = apply(request);
    Log::line("delta update of " + name + ": fetched " + std::to_string(r.fetched) + " bytes in " +
              std::to_string(r.ranges) + " range(s), reused " + std::to_string(r.reused));
    return true;
  } catch (const Error& e) {
    Log::line("delta update of " + name + " failed, downloading it whole: " + e.logText());
  } catch (const std::exception& e) {
    Log::line("delta update of " + name + " failed, downloading it whole: " + e.what());
  }
  return false;
}

}  // namespace qh::DeltaUpdate
