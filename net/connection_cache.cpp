#include "net/connection_cache.h"

#include <poll.h>

#include <mutex>
#include <vector>

namespace qh::ConnectionCache {

namespace {

// Downloads run one after another and text requests rarely overlap them, so
// a few idle handles cover every request that could reuse a connection.
constexpr size_t idleHandles = 4;

struct Idle {
  CURL* handle;
  // Its HTTP/1 connection, looked at again before reuse; CURL_SOCKET_BAD for
  // none, or one whose framing leaves no stray bytes (HTTP/2).
  curl_socket_t socket;
};

struct Cache {
  std::mutex mutex;
  std::vector<Idle> idle;
};

Cache& cache() {
  static Cache* c = new Cache;  // handles in use at exit may still come back
  return *c;
}

// An HTTP/1 connection that has something to read while no request is out
// holds stray bytes or the server's close: either would spoil the next answer.
bool quiet(curl_socket_t socket) {
  if (socket == CURL_SOCKET_BAD) return true;
  pollfd p{socket, POLLIN, 0};
  return ::poll(&p, 1, 0) == 0;
}

}  // namespace

Taken take(const CurlLibrary& lib) {
  for (;;) {
    Idle idle{};
    {
      std::lock_guard lock(cache().mutex);
      if (cache().idle.empty()) break;
      idle = cache().idle.back();
      cache().idle.pop_back();
    }
    if (quiet(idle.socket)) return {idle.handle, true};
    lib.easyCleanup(idle.handle);
  }
  return {lib.easyInit(), false};
}

void give(const CurlLibrary& lib, CURL* handle, bool http1) {
  curl_socket_t socket = CURL_SOCKET_BAD;
  if (http1 && lib.easyGetinfo(handle, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK) {
    lib.easyCleanup(handle);
    return;
  }
  if (!quiet(socket)) {
    lib.easyCleanup(handle);
    return;
  }
  // Nothing of the request that ended (callbacks, buffers) may outlive it.
  lib.easyReset(handle);
  CURL* evicted = nullptr;
  {
    std::lock_guard lock(cache().mutex);
    if (cache().idle.size() == idleHandles) {
      evicted = cache().idle.front().handle;
      cache().idle.erase(cache().idle.begin());
    }
    cache().idle.push_back({handle, socket});
  }
  if (evicted) lib.easyCleanup(evicted);
}

void closeIdle() {
  std::vector<Idle> idle;
  {
    std::lock_guard lock(cache().mutex);
    idle.swap(cache().idle);
  }
  // Only a process that made requests has idle handles, and libcurl loaded.
  if (idle.empty()) return;
  const CurlLibrary& lib = CurlLibrary::get();
  for (const Idle& i : idle) lib.easyCleanup(i.handle);
}

}  // namespace qh::ConnectionCache
