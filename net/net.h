// Small HTTP helpers for text resources of the distribution server.
// Large files go through Downloader, never through these.
//
// Every request sends "User-Agent: QH::userAgent()", follows redirects, fails
// after Timing::requestIdleTimeout seconds without data or
// Timing::transferTimeout seconds in all, and always verifies the server's
// certificate. Test hook: when the environment variable QH_CA_FILE names a PEM
// file, that file is the set of trusted certificate authorities (replacing the
// system's); tests use it to trust a certificate authority made at test time.
#pragma once

#include <qcoro/qcorotask.h>

#include <string>
#include <string_view>

#include "core/timing.h"

namespace qh::Net {

// url + "?" (or "&" when url already holds a "?") + "t=" + milliseconds since
// 1970, so every request's URL is unique and no cache answers it.
// Thread-safety: any thread.
std::string bust(std::string_view url);

// GETs url and returns the body, decoded as UTF-8 with U+FFFD for ill-formed
// bytes, untrimmed. Only status 200 succeeds.
// Throws NetError::shortMessage("bad URL " + url) without sending anything
// when url is not a URL; NetError::http(status, url) for any other status;
// TransportError for connection, time-out and TLS failures.
// Thread-safety: blocks; worker threads only.
std::string getStringBlocking(const std::string& url, const Timing& timing = {});

// Closes the connections kept open for the next request (see
// net/connection_cache.h), so a launcher that is done with the server holds
// none open; the next request opens a new one.
// Thread-safety: any thread.
void closeIdleConnections();

// getStringBlocking on a worker thread, resuming the caller on its own thread.
// Thread-safety: await from the main thread.
QCoro::Task<std::string> getString(std::string url);
QCoro::Task<std::string> getString(std::string url, Timing timing);

}  // namespace qh::Net
