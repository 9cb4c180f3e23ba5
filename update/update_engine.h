// Brings the install folder in line with the client manifest on the
// distribution server: decide by the markers, compare, download what differs
// one file at a time with retries, record the new state, finish ready.
// Thread-safety: run and await on the main thread.
#pragma once

#include <qcoro/qcorotask.h>

#include <memory>
#include <string>

#include "net/transport.h"
#include "update/manifest.h"
#include "update/update_host.h"

namespace qh::UpdateEngine {

// One whole run; everything it decides is published through `host`. The
// files travel over `transport`. Never throws.
QCoro::Task<> sync(std::shared_ptr<UpdateHost> host, bool force,
                   std::shared_ptr<Transport> transport = Transport::network());

// base + "/" + rel percent-encoded for a URL path + "?v=" + the first 8
// characters of sha1, and "&r=<attempt>" from the second attempt on.
std::string fileUrl(const std::string& base, const ManifestEntry& entry, int attempt);

}  // namespace qh::UpdateEngine
