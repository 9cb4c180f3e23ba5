// One libcurl easy handle set up the way every request of the launcher is:
// user agent, time-outs, redirects, certificate authorities. The handle, and
// the connections it holds, come from the connection cache and go back to it
// when the request's owner says the answer checked out (keepConnection).
// Internal to net/.
// Thread-safety: one handle per thread at a time.
#pragma once

#include <curl/curl.h>

#include <string>
#include <type_traits>

#include "core/timing.h"
#include "net/curl_library.h"
#include "net/transport.h"

namespace qh {

class CurlEasy {
 public:
  // Throws NetError::shortMessage("bad URL " + url) when url does not parse,
  // TransportError when libcurl cannot be loaded.
  CurlEasy(const std::string& url, const Timing& timing);
  ~CurlEasy();
  CurlEasy(const CurlEasy&) = delete;
  CurlEasy& operator=(const CurlEasy&) = delete;

  // Sets one of curl's options on the handle (curl_easy_setopt).
  template <class T>
  void set(CURLoption option, T value) {
    // curl reads the value by the option's type; anything else passed through
    // its variadic setter is read wrongly.
    static_assert(std::is_same_v<T, long> || std::is_same_v<T, curl_off_t> ||
                      std::is_pointer_v<T> || std::is_null_pointer_v<T>,
                  "a curl option takes a long, a curl_off_t or a pointer");
    lib_.easySetopt(curl_, option, value);
  }
  // Runs the transfer; the result code, CURLE_OK on success.
  CURLcode perform();
  // curl's text for `code`, with the detail of the error buffer when it has one.
  std::string message(CURLcode code) const;
  // The status of the last response, 0 when none was HTTP.
  int status() const;
  // The URL the last response came from, after redirects ("" when none).
  std::string effectiveUrl() const;
  // Whether the last transfer went over a connection an earlier request had
  // left open.
  bool reusedConnection() const;
  // Lets the next request use this one's connection, when the transfer ended
  // well and its body was as long as announced; otherwise it is closed with
  // the handle. Anything else the owner checked must have passed already.
  void keepConnection();
  // Sends the handle's requests where `transport` says, telling it of each
  // one as it goes out; `transport` must outlive the transfer.
  void route(Transport& transport);

 private:
  const CurlLibrary& lib_;
  CURL* curl_ = nullptr;
  CURLU* url_ = nullptr;
  bool fromCache_ = false;
  CURLcode result_ = CURLE_FAILED_INIT;
  bool keep_ = false;
  char error_[CURL_ERROR_SIZE] = {};
};

}  // namespace qh
