// The curl handles between two requests, with the connections they keep open:
// a run of files and text requests to one server pays for the TCP and TLS
// handshakes once, not once a request. A handle serves one request at a time
// on any thread and is handed on only after a response that ended cleanly.
// Internal to net/.
// Thread-safety: any thread.
#pragma once

#include <curl/curl.h>

#include "net/curl_library.h"

namespace qh::ConnectionCache {

// A handle that served before, its options cleared and its connections kept,
// or a new one; nullptr when curl has no memory.
struct Taken {
  CURL* handle = nullptr;
  bool kept = false;
};
Taken take(const CurlLibrary& lib);

// Takes `handle` back for the next request; `http1` when its last response
// came over HTTP/1, where bytes left on the connection would be read as the
// start of the next answer.
void give(const CurlLibrary& lib, CURL* handle, bool http1);

// Closes every idle handle and its connections.
void closeIdle();

}  // namespace qh::ConnectionCache
