// Deleting the runtime and every prefix, the way out of a broken layer.
#include "compat/runtime.h"
#include "core/async.h"

namespace qh {

namespace fs = std::filesystem;

QCoro::Task<> Runtime::resetAll() const {
  co_await killWine();
  co_await onWorker([prefix = prefixDir(), runtimes = runtimesDir(), self = *this] {
    std::error_code ignored;
    fs::remove_all(prefix, ignored);
    self.removeOtherPrefixes();
    fs::remove_all(runtimes, ignored);
  });
}

}  // namespace qh
