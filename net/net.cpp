#include "net/net.h"

#include <chrono>

#include "core/async.h"
#include "core/quitting.h"
#include "core/text.h"
#include "net/connection_cache.h"
#include "net/curl_easy.h"
#include "net/net_error.h"

namespace qh::Net {
namespace {

size_t collect(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// About once a second, also while the server sends nothing: a launcher
// quitting must not wait out a stalled request.
int stopWhenQuitting(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return Quitting::now() ? 1 : 0;
}

}  // namespace

std::string bust(std::string_view url) {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  std::string out(url);
  out += url.find('?') == std::string_view::npos ? '?' : '&';
  out += "t=" + std::to_string(ms);
  return out;
}

std::string getStringBlocking(const std::string& url, const Timing& timing) {
  for (bool first = true;; first = false) {
    CurlEasy easy(url, timing);
    std::string body;
    easy.set(CURLOPT_WRITEFUNCTION, collect);
    easy.set(CURLOPT_WRITEDATA, &body);
    // Text compresses well; let the server choose among what curl can decode.
    easy.set(CURLOPT_ACCEPT_ENCODING, "");
    easy.set(CURLOPT_XFERINFOFUNCTION, stopWhenQuitting);
    easy.set(CURLOPT_NOPROGRESS, 0L);
    if (!first) easy.set(CURLOPT_FRESH_CONNECT, 1L);
    const CURLcode rc = easy.perform();
    // A kept connection the server has given up on or spoilt fails a request
    // that a new connection would not: that one request is made again, once.
    // A time-out is not the connection's fault and would only double the wait.
    if (rc != CURLE_OK && first && rc != CURLE_OPERATION_TIMEDOUT && easy.reusedConnection()) {
      continue;
    }
    if (rc != CURLE_OK) throw TransportError(easy.message(rc));
    easy.keepConnection();
    const int status = easy.status();
    if (status != 200) throw NetError::http(status, url);
    return Text::toUtf8Lossy(body);
  }
}

void closeIdleConnections() {
  ConnectionCache::closeIdle();
}

QCoro::Task<std::string> getString(std::string url) {
  std::string body = co_await getString(std::move(url), Timing{});
  co_return body;
}

QCoro::Task<std::string> getString(std::string url, Timing timing) {
  std::string body = co_await onWorker([url, timing] { return getStringBlocking(url, timing); });
  co_return body;
}

}  // namespace qh::Net
