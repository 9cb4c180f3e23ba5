#include "net/range_fetch.h"

#include <exception>
#include <optional>

#include "core/text.h"
#include "net/curl_easy.h"
#include "net/net_error.h"

namespace qh {

// One request; curl calls back on the thread running it, one call at a time.
class RangeRequest {
 public:
  // `want` is the Content-Range a 206 must carry, empty for a plain 200.
  RangeRequest(RangeFetch& owner, const std::string& url, std::string want, int64_t limit,
               const RangeFetch::Sink& sink)
      : owner_(owner),
        easy_(url, owner.timing_),
        want_(std::move(want)),
        limit_(limit),
        sink_(sink) {}

  void run(const std::string& range) {
    CurlEasy& easy = easy_;
    easy.set(CURLOPT_HEADERFUNCTION, onHeader);
    easy.set(CURLOPT_HEADERDATA, this);
    easy.set(CURLOPT_WRITEFUNCTION, onData);
    easy.set(CURLOPT_WRITEDATA, this);
    easy.set(CURLOPT_XFERINFOFUNCTION, onTick);
    easy.set(CURLOPT_XFERINFODATA, this);
    easy.set(CURLOPT_NOPROGRESS, 0L);
    easy.route(*owner_.transport_);
    if (!range.empty()) easy.set(CURLOPT_RANGE, range.c_str());
    const CURLcode rc = easy.perform();
    if (rc == CURLE_OK && !failure_ && !checked_) check();
    if (failure_) std::rethrow_exception(failure_);
    if (rc != CURLE_OK) throw TransportError(easy.message(rc));
    if (received_ != limit_ && !want_.empty()) {
      throw NetError::shortMessage("Range of " + std::to_string(limit_) + " bytes answered with " +
                                   std::to_string(received_));
    }
    easy.keepConnection();
  }

 private:
  static size_t onHeader(char* data, size_t size, size_t count, void* self) {
    auto* r = static_cast<RangeRequest*>(self);
    const std::string_view line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) r->contentRange_.reset();
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos && Text::lower(line.substr(0, colon)) == "content-range") {
      r->contentRange_ = Text::lower(Text::trimWhitespace(std::string(line.substr(colon + 1))));
    }
    return size * count;
  }

  static size_t onData(char* data, size_t size, size_t count, void* self) {
    auto* r = static_cast<RangeRequest*>(self);
    const size_t n = size * count;
    if (!r->checked_ && !r->check()) return 0;
    if (r->received_ + static_cast<int64_t>(n) > r->limit_) {
      r->fail(NetError::shortMessage("Answer longer than " + std::to_string(r->limit_) + " bytes"));
      return 0;
    }
    try {
      r->sink_(data, n);
    } catch (...) {
      // Thrown through curl's C code it would be lost: kept for run() instead.
      r->failure_ = std::current_exception();
      return 0;
    }
    r->received_ += static_cast<int64_t>(n);
    r->owner_.received_ += static_cast<int64_t>(n);
    r->owner_.throttle_.chunk(static_cast<int64_t>(n));
    return r->cancelled() ? 0 : n;
  }

  static int onTick(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<RangeRequest*>(self)->cancelled() ? 1 : 0;
  }

  bool check() {
    checked_ = true;
    const int status = easy_.status();
    if (want_.empty() ? status != 200 : status != 206) {
      if (status == 200 || status == 206) {
        fail(NetError::shortMessage("Status " + std::to_string(status) + " for a " +
                                    (want_.empty() ? "whole file" : "range") + " request"));
      } else {
        fail(NetError::http(status, easy_.effectiveUrl()));
      }
      return false;
    }
    if (!want_.empty() && !rangeIsWanted()) {
      fail(NetError::shortMessage("Unexpected Content-Range \"" + contentRange_.value_or("") +
                                  "\" (asked for " + want_.substr(0, want_.size() - 1) + ")"));
      return false;
    }
    return true;
  }

  // "bytes <first>-<last>/<total or *>" with the asked first and last.
  bool rangeIsWanted() const {
    if (!contentRange_ || contentRange_->rfind(want_, 0) != 0) return false;
    const std::string total = contentRange_->substr(want_.size());
    return total == "*" ||
           (!total.empty() && total.find_first_not_of("0123456789") == std::string::npos);
  }

  bool cancelled() {
    if (!owner_.stopped_ && (!owner_.cancel_ || !owner_.cancel_->load())) return false;
    if (!failure_) fail(TransportError("Download cancelled"));
    return true;
  }

  template <class E>
  void fail(const E& e) {
    if (!failure_) failure_ = std::make_exception_ptr(e);
  }

  RangeFetch& owner_;
  CurlEasy easy_;
  std::string want_;
  int64_t limit_;
  const RangeFetch::Sink& sink_;
  std::optional<std::string> contentRange_;
  bool checked_ = false;
  int64_t received_ = 0;
  std::exception_ptr failure_;
};

RangeFetch::RangeFetch(Timing timing, std::shared_ptr<Transport> transport,
                       std::shared_ptr<std::atomic<bool>> cancel)
    : timing_(std::move(timing)),
      transport_(std::move(transport)),
      cancel_(std::move(cancel)),
      throttle_(timing_) {}

std::string RangeFetch::get(const std::string& url, int64_t limit) {
  std::string body;
  const Sink sink = [&body](const char* data, size_t size) { body.append(data, size); };
  RangeRequest(*this, url, "", limit, sink).run("");
  return body;
}

void RangeFetch::range(const std::string& url, int64_t first, int64_t length, const Sink& sink) {
  const int64_t last = first + length - 1;
  // The total is the server's to say; the range is what must match.
  const std::string range = std::to_string(first) + "-" + std::to_string(last);
  RangeRequest request(*this, url, "bytes " + range + "/", length, sink);
  request.run(range);
}

}  // namespace qh
