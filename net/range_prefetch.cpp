#include "net/range_prefetch.h"

#include "net/net_error.h"

namespace qh {

RangePrefetch::RangePrefetch(RangeFetch& fetch, std::string url, std::vector<Range> ranges,
                             size_t ahead)
    : fetch_(fetch), url_(std::move(url)), ranges_(std::move(ranges)), ahead_(ahead) {
  thread_ = std::thread([this] { run(); });
}

RangePrefetch::~RangePrefetch() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  fetch_.stop();
  changed_.notify_all();
  thread_.join();
}

void RangePrefetch::run() {
  try {
    for (const Range& r : ranges_) {
      fetch_.range(url_, r.first, r.length,
                   [this](const char* data, size_t size) { push(data, size); });
    }
  } catch (...) {
    std::lock_guard lock(mutex_);
    failure_ = std::current_exception();
  }
  changed_.notify_all();
}

void RangePrefetch::push(const char* data, size_t size) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queued_ < ahead_ || stopping_; });
  if (stopping_) throw TransportError("Download cancelled");
  chunks_.emplace_back(data, size);
  queued_ += size;
  changed_.notify_all();
}

void RangePrefetch::take(const RangeFetch::Sink& out) {
  if (next_ >= ranges_.size()) throw std::logic_error("RangePrefetch: no range left");
  // RangeFetch::range hands on exactly the range's bytes, or fails.
  for (int64_t left = ranges_[next_++].length; left > 0;) {
    std::string chunk;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !chunks_.empty() || failure_; });
      if (chunks_.empty()) std::rethrow_exception(failure_);
      chunk = std::move(chunks_.front());
      chunks_.pop_front();
      queued_ -= chunk.size();
    }
    changed_.notify_all();
    out(chunk.data(), chunk.size());
    left -= static_cast<int64_t>(chunk.size());
  }
}

}  // namespace qh
