// Start-up step 1: when the distribution server publishes a newer launcher
// build, download it, check it, swap it for the running bundle, start the
// relaunch shell and ask the application to quit.
#pragma once

#include <qcoro/qcorotask.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/paths.h"
#include "core/timing.h"
#include "selfupdate/self_update_system.h"

namespace qh::SelfUpdate {

// User-facing notices ("Updating the launcher..."); may be called on any thread.
using Status = std::function<void(std::string)>;

// With release keys (paths.releaseKeys) an archive is unpacked only when its
// signature binds it, with its size and SHA-256, to the server's build number.
// Never throws. Failures go to "selfupdate_last_error.txt" in the support
// folder and a "selfupdate: " launcher-log line, and the caller goes on with
// the running build. After a successful swap it asks `system` to terminate
// and returns.
// Thread-safety: await from the main thread.
QCoro::Task<> run(Paths paths, Status status, Timing timing = {},
                  std::shared_ptr<System> system = hostSystem());

// An archive unpacking to more than this is refused before it is unpacked.
inline constexpr int64_t maxUnpackedBytes = int64_t{2} << 30;

struct Build {
  // The number; absent when the text is not an optional sign and digits.
  std::optional<long long> value;
  // Digits only, but too large to be a build number.
  bool outOfRange = false;
};
// Parses an already trimmed build number text. Thread-safety: pure.
Build parseBuild(std::string_view text);

}  // namespace qh::SelfUpdate
