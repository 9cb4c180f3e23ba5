#include "net/curl_easy.h"

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <new>

#include "core/qh.h"
#include "net/net_error.h"

namespace {

void globalInit() {
  // curl_global_init is not thread-safe; a function-local static is.
  static const CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)rc;
}

std::mutex shareLocks[CURL_LOCK_DATA_LAST];

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
  shareLocks[data].lock();
}

void unlockShare(CURL*, curl_lock_data data, void*) {
  shareLocks[data].unlock();
}

// Name lookups and TLS sessions outlive one transfer, so a run of downloads
// from one server resolves once and resumes its TLS sessions. (Connections
// are not shared: curl's shared connection cache is not safe across threads.)
CURLSH* share() {
  static CURLSH* const s = [] {
    CURLSH* h = curl_share_init();
    curl_share_setopt(h, CURLSHOPT_LOCKFUNC, lockShare);
    curl_share_setopt(h, CURLSHOPT_UNLOCKFUNC, unlockShare);
    curl_share_setopt(h, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(h, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    return h;
  }();
  return s;
}

// curl sends bytes past ASCII raw; servers expect them percent-encoded.
std::string encodeNonAscii(const std::string& url) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (const char c : url) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 0xF];
    }
  }
  return out;
}

long millis(double seconds) {
  return seconds <= 0 ? 0L : static_cast<long>(std::llround(seconds * 1000));
}

}  // namespace

CurlEasy::CurlEasy(const std::string& url, const Timing& timing) {
  globalInit();
  url_ = curl_url();
  if (!url_) throw std::bad_alloc();
  if (curl_url_set(url_, CURLUPART_URL, encodeNonAscii(url).c_str(), 0) != CURLUE_OK) {
    curl_url_cleanup(url_);
    throw NetError::shortMessage("bad URL " + url);
  }
  curl_ = curl_easy_init();
  if (!curl_) {
    curl_url_cleanup(url_);
    throw std::bad_alloc();
  }
  curl_easy_setopt(curl_, CURLOPT_CURLU, url_);
  curl_easy_setopt(curl_, CURLOPT_SHARE, share());
  curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, error_);
  curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl_, CURLOPT_USERAGENT, QH::userAgent().c_str());
  curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, 16L);
  // Idle: less than one byte per second for the whole idle time-out fails,
  // as does a connection that takes as long to set up.
  const long idle = std::max(1L, static_cast<long>(std::lround(timing.requestIdleTimeout)));
  curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, idle);
  curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, millis(timing.requestIdleTimeout));
  curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, millis(timing.transferTimeout));
  curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, 2L);
  if (const char* ca = std::getenv("QH_CA_FILE"); ca && *ca) {
    curl_easy_setopt(curl_, CURLOPT_CAINFO, ca);
    curl_easy_setopt(curl_, CURLOPT_CAPATH, nullptr);
  }
}

CurlEasy::~CurlEasy() {
  curl_easy_cleanup(curl_);
  curl_url_cleanup(url_);
}

CURLcode CurlEasy::perform() {
  error_[0] = '\0';
  return curl_easy_perform(curl_);
}

std::string CurlEasy::message(CURLcode code) const {
  std::string text = curl_easy_strerror(code);
  std::string detail = error_;
  while (!detail.empty() && (detail.back() == '\n' || detail.back() == ' ')) detail.pop_back();
  if (!detail.empty() && detail != text) text += ": " + detail;
  return text;
}

int CurlEasy::status() const {
  long code = 0;
  curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &code);
  return static_cast<int>(code);
}

std::string CurlEasy::effectiveUrl() const {
  char* url = nullptr;
  curl_easy_getinfo(curl_, CURLINFO_EFFECTIVE_URL, &url);
  return url ? url : "";
}
