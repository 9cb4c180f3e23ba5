#include "net/curl_library.h"

#include <dlfcn.h>

#include <optional>
#include <string>

#include "net/net_error.h"

namespace {

#ifdef __APPLE__
constexpr const char* libraryName = "libcurl.4.dylib";
#else
constexpr const char* libraryName = "libcurl.so.4";
#endif

std::string lastError() {
  const char* e = ::dlerror();
  return e ? e : "unknown error";
}

template <class F>
void resolve(void* handle, const char* name, F& out, std::string& missing) {
  out = reinterpret_cast<F>(::dlsym(handle, name));
  if (!out && missing.empty()) missing = name;
}

// Either the table or why it could not be made; a failed load is not retried.
struct Loaded {
  std::optional<CurlLibrary> library;
  std::string error;
};

Loaded load() {
  void* handle = ::dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
  if (!handle)
    return {std::nullopt, "cannot load " + std::string(libraryName) + ": " + lastError()};
  CurlLibrary c{};
  std::string missing;
  resolve(handle, "curl_global_init", c.globalInit, missing);
  resolve(handle, "curl_easy_init", c.easyInit, missing);
  resolve(handle, "curl_easy_cleanup", c.easyCleanup, missing);
  resolve(handle, "curl_easy_setopt", c.easySetopt, missing);
  resolve(handle, "curl_easy_getinfo", c.easyGetinfo, missing);
  resolve(handle, "curl_easy_perform", c.easyPerform, missing);
  resolve(handle, "curl_easy_strerror", c.easyStrerror, missing);
  resolve(handle, "curl_share_init", c.shareInit, missing);
  resolve(handle, "curl_share_setopt", c.shareSetopt, missing);
  resolve(handle, "curl_url", c.url, missing);
  resolve(handle, "curl_url_set", c.urlSet, missing);
  resolve(handle, "curl_url_cleanup", c.urlCleanup, missing);
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
