#include "net/curl_library.h"

#include <string>

#include "net/net_error.h"
#include "net/opened_library.h"

namespace qh {

namespace {

#ifdef __APPLE__
constexpr const char* libraryName = "libcurl.4.dylib";
#else
constexpr const char* libraryName = "libcurl.so.4";
#endif

using Loaded = OpenedLibrary<CurlLibrary>;

Loaded load() {
  void* handle = ::dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
  if (!handle)
    return {std::nullopt, "cannot load " + std::string(libraryName) + ": " + openError()};
  CurlLibrary c{};
  std::string missing;
  resolveSymbol(handle, "curl_global_init", c.globalInit, missing);
  resolveSymbol(handle, "curl_easy_init", c.easyInit, missing);
  resolveSymbol(handle, "curl_easy_cleanup", c.easyCleanup, missing);
  resolveSymbol(handle, "curl_easy_reset", c.easyReset, missing);
  resolveSymbol(handle, "curl_easy_setopt", c.easySetopt, missing);
  resolveSymbol(handle, "curl_easy_getinfo", c.easyGetinfo, missing);
  resolveSymbol(handle, "curl_easy_perform", c.easyPerform, missing);
  resolveSymbol(handle, "curl_easy_strerror", c.easyStrerror, missing);
  resolveSymbol(handle, "curl_share_init", c.shareInit, missing);
  resolveSymbol(handle, "curl_share_setopt", c.shareSetopt, missing);
  resolveSymbol(handle, "curl_url", c.url, missing);
  resolveSymbol(handle, "curl_url_set", c.urlSet, missing);
  resolveSymbol(handle, "curl_url_cleanup", c.urlCleanup, missing);
  if (!missing.empty())
    return {std::nullopt, std::string(libraryName) + " lacks " + missing + " (too old)"};
  // Not thread-safe in curl; the function-local static in get() makes it run once.
  if (const CURLcode rc = c.globalInit(CURL_GLOBAL_DEFAULT); rc != CURLE_OK)
    return {std::nullopt, std::string("libcurl failed to initialise: ") + c.easyStrerror(rc)};
  // Kept loaded for the life of the process: handles may be in use until exit.
  return {c, {}};
}

}  // namespace

const CurlLibrary& CurlLibrary::get() {
  static const Loaded loaded = load();
  if (!loaded.library) throw TransportError(loaded.error);
  return *loaded.library;
}

}  // namespace qh
