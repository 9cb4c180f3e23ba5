#include "net/curl_easy.h"

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <new>

#include "core/qh.h"
#include "net/connection_cache.h"
#include "net/net_error.h"

namespace qh {

namespace {

std::mutex shareLocks[CURL_LOCK_DATA_LAST];

void lockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
  shareLocks[data].lock();
}

void unlockShare(CURL*, curl_lock_data data, void*) {
  shareLocks[data].unlock();
}

// Name lookups and TLS sessions outlive one transfer, so a request on a new
// connection to a known server resolves nothing and resumes its TLS session.
// (Connections travel with their handle through the connection cache: curl's
// shared connection cache is not safe across threads.)
CURLSH* share(const CurlLibrary& lib) {
  static CURLSH* const s = [&lib] {
    CURLSH* h = lib.shareInit();
    lib.shareSetopt(h, CURLSHOPT_LOCKFUNC, lockShare);
    lib.shareSetopt(h, CURLSHOPT_UNLOCKFUNC, unlockShare);
    lib.shareSetopt(h, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    lib.shareSetopt(h, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
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

CurlEasy::CurlEasy(const std::string& url, const Timing& timing) : lib_(CurlLibrary::get()) {
  url_ = lib_.url();
  if (!url_) throw std::bad_alloc();
  if (lib_.urlSet(url_, CURLUPART_URL, encodeNonAscii(url).c_str(), 0) != CURLUE_OK) {
    lib_.urlCleanup(url_);
    throw NetError::shortMessage("bad URL " + url);
  }
  const ConnectionCache::Taken taken = ConnectionCache::take(lib_);
  curl_ = taken.handle;
  fromCache_ = taken.kept;
  if (!curl_) {
    lib_.urlCleanup(url_);
    throw std::bad_alloc();
  }
  set(CURLOPT_CURLU, url_);
  set(CURLOPT_SHARE, share(lib_));
  set(CURLOPT_ERRORBUFFER, error_);
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_USERAGENT, QH::userAgent().c_str());
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, 16L);
  // Idle: less than one byte per second for the whole idle time-out fails,
  // as does a connection that takes as long to set up.
  const long idle = std::max(1L, static_cast<long>(std::lround(timing.requestIdleTimeout)));
  set(CURLOPT_LOW_SPEED_LIMIT, 1L);
  set(CURLOPT_LOW_SPEED_TIME, idle);
  set(CURLOPT_CONNECTTIMEOUT_MS, millis(timing.requestIdleTimeout));
  set(CURLOPT_TIMEOUT_MS, millis(timing.transferTimeout));
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  if (const char* ca = std::getenv("QH_CA_FILE"); ca && *ca) {
    set(CURLOPT_CAINFO, ca);
    set(CURLOPT_CAPATH, nullptr);
  }
}

CurlEasy::~CurlEasy() {
  if (keep_) {
    long version = 0;
    lib_.easyGetinfo(curl_, CURLINFO_HTTP_VERSION, &version);
    ConnectionCache::give(lib_, curl_,
                          version != CURL_HTTP_VERSION_2_0 && version != CURL_HTTP_VERSION_3);
  } else {
    lib_.easyCleanup(curl_);
  }
  lib_.urlCleanup(url_);
}

CURLcode CurlEasy::perform() {
  error_[0] = '\0';
  result_ = lib_.easyPerform(curl_);
  return result_;
}

bool CurlEasy::reusedConnection() const {
  long made = 0;
  return fromCache_ && lib_.easyGetinfo(curl_, CURLINFO_NUM_CONNECTS, &made) == CURLE_OK &&
         made == 0;
}

void CurlEasy::keepConnection() {
  if (result_ != CURLE_OK) return;
  curl_off_t announced = -1, received = -1;
  lib_.easyGetinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
  lib_.easyGetinfo(curl_, CURLINFO_SIZE_DOWNLOAD_T, &received);
  // Without a length the body ended with its connection, or with the end of
  // its chunks, which curl checks itself.
  keep_ = announced < 0 || announced == received;
}

std::string CurlEasy::message(CURLcode code) const {
  std::string text = lib_.easyStrerror(code);
  std::string detail = error_;
  while (!detail.empty() && (detail.back() == '\n' || detail.back() == ' ')) detail.pop_back();
  if (!detail.empty() && detail != text) text += ": " + detail;
  return text;
}

int CurlEasy::status() const {
  long code = 0;
  lib_.easyGetinfo(curl_, CURLINFO_RESPONSE_CODE, &code);
  return static_cast<int>(code);
}

std::string CurlEasy::effectiveUrl() const {
  char* url = nullptr;
  lib_.easyGetinfo(curl_, CURLINFO_EFFECTIVE_URL, &url);
  return url ? url : "";
}

namespace {

int beforeRequest(void* transport, char*, char*, int, int) {
  static_cast<Transport*>(transport)->connected();
  return CURL_PREREQFUNC_OK;
}

}  // namespace

void CurlEasy::route(Transport& transport) {
  const std::string socket = transport.socketName();
  if (!socket.empty()) {
    set(CURLOPT_ABSTRACT_UNIX_SOCKET, socket.c_str());
    set(CURLOPT_NOPROXY, "*");
  }
  set(CURLOPT_PREREQFUNCTION, beforeRequest);
  set(CURLOPT_PREREQDATA, &transport);
}

}  // namespace qh
