// Threads the launcher starts for work that may last long (a transfer, a
// child that may never end), each joined before the process ends: a thread
// still running while exit destroys the statics it reads would free their
// memory a second time. Each thread gets a StopToken; the work that waits
// long watches it.
// Thread-safety: every function may be called from any thread.
#pragma once

#include <cstddef>
#include <functional>

#include "platform/stop_token.h"

namespace qh::OwnThreads {

// Runs `work` on a new thread, which stopAll() joins. Threads that finished
// are joined by the next start.
void start(std::function<void(StopToken)> work);

// Asks every thread started so far to stop and joins them all, including any
// started meanwhile. The last thing main() does before the locals and
// statics the threads may use are destroyed.
void stopAll();

// Threads started and not yet joined.
size_t count();

}  // namespace qh::OwnThreads
