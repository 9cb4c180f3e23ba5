// How long operations report a status line and an optional progress fraction.
// Thread-safety: callers may invoke it from any thread; the receiver posts to
// the main thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace qh {

using StatusCallback =
    std::function<void(const std::string& status, std::optional<double> progress)>;

}  // namespace qh
