#include "compat/runtime.h"
#include "core/files.h"

namespace qh {

bool Runtime::useCachedSpec() {
  // The same base resolveSpec() reads relative archive URLs against.
  const std::string base = paths_.base + "/mac";
  if (const auto text = Files::readUtf8(cachedSpecFile())) {
    if (auto spec = RuntimeSpec::parse(*text, base)) {
      spec_ = std::move(spec);
      return true;
    }
  }
  spec_ = RuntimeSpec::from(fallbackRuntime(), base);
  return false;
}

}  // namespace qh
