// libcurl's entry points, opened on the first request rather than linked: a
// start draws its window without loading libcurl and the TLS, SSH, LDAP and
// Kerberos libraries it pulls in. Internal to net/.
// Thread-safety: get() may be called from any thread; the table is read-only.
#pragma once

#include <curl/curl.h>

namespace qh {

struct CurlLibrary {
  decltype(&::curl_global_init) globalInit;
  decltype(&::curl_easy_init) easyInit;
  decltype(&::curl_easy_cleanup) easyCleanup;
  decltype(&::curl_easy_reset) easyReset;
  decltype(&::curl_easy_setopt) easySetopt;
  decltype(&::curl_easy_getinfo) easyGetinfo;
  decltype(&::curl_easy_perform) easyPerform;
  decltype(&::curl_easy_strerror) easyStrerror;
  decltype(&::curl_share_init) shareInit;
  decltype(&::curl_share_setopt) shareSetopt;
  decltype(&::curl_url) url;
  decltype(&::curl_url_set) urlSet;
  decltype(&::curl_url_cleanup) urlCleanup;

  // The library, loaded and globally initialised once. Throws TransportError
  // when it cannot be loaded.
  static const CurlLibrary& get();
};

}  // namespace qh
