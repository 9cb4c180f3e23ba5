#include "net/downloader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

#include "core/async.h"
#include "core/text.h"
#include "net/curl_easy.h"
#include "net/hash.h"
#include "net/net_error.h"
#include "net/throttle.h"
#include "net/trailing_digests.h"
#include "platform/system_error.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

// Chunks handed over by curl; small enough that the throttle acts often at the
// lowest step, large enough to keep system calls few at full speed.
constexpr long receiveBuffer = 128 * 1024;

// The first byte position of a "Content-Range: bytes <first>-<last>/<size>" value.
std::optional<int64_t> rangeStart(const std::string& value) {
  const std::string v = Text::lower(Text::trimWhitespace(value));
  if (v.rfind("bytes ", 0) != 0) return std::nullopt;
  int64_t first = 0;
  size_t i = 6;
  while (i < v.size() && v[i] == ' ') ++i;
  const size_t digits = i;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    if (first > (std::numeric_limits<int64_t>::max() - 9) / 10) return std::nullopt;
    first = first * 10 + (v[i] - '0');
  }
  if (i == digits || i >= v.size() || v[i] != '-') return std::nullopt;
  return first;
}

// One transfer into the ".part" file. curl calls back on the thread running
// run(), one call at a time, so the fields need no lock.
class Transfer {
 public:
  Transfer(const DownloadRequest& request, std::vector<Hash::Algorithm> digests,
           Downloader::Cancel cancel)
      : part_(Downloader::partFile(request.target)),
        expectedSize_(request.expectedSize),
        progress_(request.progress),
        timing_(request.timing),
        cancel_(std::move(cancel)),
        throttle_(request.timing),
        transport_(*request.transport),
        digests_(digests) {}
  ~Transfer() { closeFile(); }

  void run(const std::string& url);
  // Hands the connection on to the next transfer; once the file has passed
  // every check, so a server that sent more or less than it should have
  // never leaves its bytes in the way of the next answer.
  void keepConnection() {
    if (easy_) easy_->keepConnection();
  }
  // The digests of the whole ".part" as it stands after run(), in the order
  // asked for.
  std::vector<std::string> digests();

 private:
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static size_t onData(char* data, size_t size, size_t count, void* self);
  static int onTick(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

  bool respond();
  bool write(const char* data, size_t size);
  bool digestKept();
  bool cancelled();
  void report(bool always);
  void closeFile();

  fs::path part_;
  int64_t expectedSize_;
  Downloader::Progress progress_;
  const Timing& timing_;
  Downloader::Cancel cancel_;
  Throttle throttle_;
  Transport& transport_;
  std::optional<CurlEasy> easy_;
  int64_t already_ = 0;
  int64_t received_ = 0;
  int fd_ = -1;
  bool responded_ = false;
  std::optional<std::string> contentRange_;
  // Fed with every byte of the ".part": what it held before a resume, then
  // each chunk as it is written, so the checks need no second read.
  TrailingDigests digests_;
  std::exception_ptr failure_;
  double lastReport_ = -std::numeric_limits<double>::infinity();
};

void Transfer::run(const std::string& url) {
  std::error_code ec;
  // The client folder is not ours alone: a ".part" that is a link could send
  // the bytes anywhere, so the link goes and the file starts afresh.
  if (fs::is_symlink(fs::symlink_status(part_, ec))) fs::remove(part_, ec);
  const auto size = fs::file_size(part_, ec);
  already_ = ec ? 0 : static_cast<int64_t>(size);
  if (expectedSize_ >= 0 && already_ >= expectedSize_) {
    // A leftover that is complete or too long is never trusted.
    fs::remove(part_, ec);
    already_ = 0;
  }
  CurlEasy& easy = easy_.emplace(url, timing_);
  easy.set(CURLOPT_BUFFERSIZE, receiveBuffer);
  easy.set(CURLOPT_HEADERFUNCTION, onHeader);
  easy.set(CURLOPT_HEADERDATA, this);
  easy.set(CURLOPT_WRITEFUNCTION, onData);
  easy.set(CURLOPT_WRITEDATA, this);
  // Called about once a second even while nothing arrives, so a cancel ends a stall too.
  easy.set(CURLOPT_XFERINFOFUNCTION, onTick);
  easy.set(CURLOPT_XFERINFODATA, this);
  easy.set(CURLOPT_NOPROGRESS, 0L);
  easy.route(transport_);
  const std::string range = std::to_string(already_) + "-";
  if (already_ > 0) easy.set(CURLOPT_RANGE, range.c_str());

  const CURLcode rc = easy.perform();
  // An answer without a body still decides what becomes of the ".part".
  if (rc == CURLE_OK && !failure_ && !responded_) respond();
  closeFile();
  report(true);
  if (failure_) std::rethrow_exception(failure_);
  if (rc != CURLE_OK) throw TransportError(easy.message(rc));
}

size_t Transfer::onHeader(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<Transfer*>(self);
  const std::string_view line(data, size * count);
  // Every response (redirects, interim answers, a proxy's) opens with a status
  // line; only the last one's headers count.
  if (line.rfind("HTTP/", 0) == 0) t->contentRange_.reset();
  const size_t colon = line.find(':');
  if (colon != std::string_view::npos && Text::lower(line.substr(0, colon)) == "content-range") {
    t->contentRange_ = std::string(line.substr(colon + 1));
  }
  return size * count;
}

size_t Transfer::onData(char* data, size_t size, size_t count, void* self) {
  auto* t = static_cast<Transfer*>(self);
  const size_t n = size * count;
  // curl hands over only the final response's body, so its status is known.
  if (!t->responded_ && !t->respond()) return 0;
  if (!t->write(data, n)) return 0;
  t->received_ += static_cast<int64_t>(n);
  t->report(false);
  t->throttle_.chunk(static_cast<int64_t>(n));
  return t->cancelled() ? 0 : n;
}

int Transfer::onTick(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(self)->cancelled() ? 1 : 0;
}

bool Transfer::respond() {
  responded_ = true;
  const int status = easy_->status();
  if (status != 200 && status != 206) {
    failure_ = std::make_exception_ptr(NetError::http(status, easy_->effectiveUrl()));
    return false;
  }
  // Resume only on a 206 that continues exactly where the ".part" ends; a 200
  // means the server ignored the range and sends the whole file again.
  const bool resume = status == 206 && already_ > 0;
  if (status == 206 && (already_ > 0 || contentRange_)) {
    const auto start = contentRange_ ? rangeStart(*contentRange_) : std::nullopt;
    if (start != already_) {
      std::error_code ec;
      fs::remove(part_, ec);
      failure_ = std::make_exception_ptr(NetError::shortMessage(
          "Unexpected Content-Range \"" + Text::trimWhitespace(contentRange_.value_or("")) +
          "\" for " + part_.stem().string() + " (asked from byte " + std::to_string(already_) +
          ")"));
      return false;
    }
  }
  if (!resume) already_ = 0;
  // Appending never creates: a ".part" that vanished must not get the tail alone.
  fd_ = resume ? ::open(part_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW)
               : ::open(part_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd_ < 0) {
    failure_ = std::make_exception_ptr(systemError("open for writing", part_, lastSystemError()));
    return false;
  }
  return !resume || digestKept();
}

bool Transfer::digestKept() {
  try {
    digests_.prefix(part_);
  } catch (...) {
    // Thrown through curl's C code it would be lost: kept for run() instead.
    failure_ = std::current_exception();
    return false;
  }
  return true;
}

bool Transfer::write(const char* data, size_t size) {
  for (size_t done = 0; done < size;) {
    const ssize_t n = transport_.write(fd_, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failure_ = std::make_exception_ptr(systemError("write", part_, lastSystemError()));
      return false;
    }
    done += static_cast<size_t>(n);
  }
  digests_.update(reinterpret_cast<const unsigned char*>(data), size);
  return true;
}

std::vector<std::string> Transfer::digests() {
  return digests_.hex();
}

bool Transfer::cancelled() {
  if (!cancel_ || !cancel_->load()) return false;
  if (!failure_) failure_ = std::make_exception_ptr(TransportError("Download cancelled"));
  return true;
}

void Transfer::report(bool always) {
  const double now = timing_.clock->now();
  if (!always && now - lastReport_ <= timing_.progressInterval) return;
  lastReport_ = now;
  if (progress_) progress_(already_ + received_);
}

void Transfer::closeFile() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

// Every transfer's cancel flag while its fetch runs, so quitting can stop them all.
struct Live {
  std::mutex mutex;
  std::condition_variable none;
  std::vector<Downloader::Cancel> flags;
};

Live& live() {
  static Live* registry = new Live;  // outlives every thread at exit
  return *registry;
}

}  // namespace

fs::path Downloader::partFile(const fs::path& target) {
  fs::path part = target;
  part += ".part";
  return part;
}

void Downloader::fetchBlocking(const DownloadRequest& request) {
  const fs::path& to = request.target;
  const int64_t expectedSize = request.expectedSize;
  const Cancel cancel =
      request.cancel ? request.cancel : std::make_shared<std::atomic<bool>>(false);
  const Hold registered(cancel);
  if (to.has_parent_path()) fs::create_directories(to.parent_path());
  const fs::path part = partFile(to);
  const std::string wantSha1 = Text::lower(request.sha1), wantSha256 = Text::lower(request.sha256);
  std::vector<Hash::Algorithm> algorithms;
  if (!wantSha1.empty()) algorithms.push_back(Hash::Algorithm::sha1);
  if (!wantSha256.empty()) algorithms.push_back(Hash::Algorithm::sha256);
  Transfer transfer(request, algorithms, cancel);
  transfer.run(request.url);
  const std::vector<std::string> digests = transfer.digests();

  // The checks are made while the file is still the ".part", so nothing
  // unverified ever carries the final name: a launcher killed while checking
  // leaves a ".part", never a wrong file of the right size that a later
  // comparison by size would keep.
  const std::string name = to.filename().string();
  std::optional<NetError> wrongSize;
  if (expectedSize >= 0) {
    std::error_code ec;
    const auto size = fs::file_size(part, ec);
    const int64_t actual = ec ? -1 : static_cast<int64_t>(size);
    if (actual != expectedSize) {
      wrongSize = NetError::integrity("Size mismatch for " + name + " (" + std::to_string(actual) +
                                      " vs " + std::to_string(expectedSize) + ")");
    }
  }
  const auto discard = [&](const std::string& message) {
    std::error_code ec;
    fs::remove(part, ec);
    fs::remove(to, ec);
    return NetError::integrity(message);
  };
  size_t next = 0;
  if (!wantSha1.empty() && digests[next++] != wantSha1 && !wrongSize) {
    throw discard("Integrity check failed for " + name + " (stale CDN copy?) - retrying");
  }
  if (!wantSha256.empty() && digests[next++] != wantSha256 && !wrongSize) {
    throw discard("Checksum mismatch for " + name);
  }
  if (fs::exists(fs::symlink_status(to))) fs::remove(to);
  fs::rename(part, to);
  // A wrong-sized file stays in place; the next comparison finds it by its size.
  if (wrongSize) throw *wrongSize;
  transfer.keepConnection();
}

Downloader::Hold::Hold(Cancel cancel) : cancel_(std::move(cancel)) {
  std::lock_guard lock(live().mutex);
  live().flags.push_back(cancel_);
}

Downloader::Hold::~Hold() {
  std::lock_guard lock(live().mutex);
  auto& flags = live().flags;
  flags.erase(std::find(flags.begin(), flags.end(), cancel_));
  live().none.notify_all();
}

bool Downloader::cancelAll(double seconds) {
  std::unique_lock lock(live().mutex);
  for (const Cancel& flag : live().flags) flag->store(true);
  return live().none.wait_for(lock, std::chrono::duration<double>(seconds),
                              [] { return live().flags.empty(); });
}

QCoro::Task<> Downloader::fetch(DownloadRequest request) {
  co_await onOwnThread([request = std::move(request)] { fetchBlocking(request); });
}

}  // namespace qh
