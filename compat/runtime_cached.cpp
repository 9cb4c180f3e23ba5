#include "compat/runtime.h"
#include "compat/system_wine.h"
#include "core/files.h"
#include "core/os_layout.h"

namespace qh {

bool Runtime::useCachedSpec() {
  // The same base resolveSpec() reads relative archive URLs against.
  const std::string base = paths_.base + "/" + osLayout().folder;
  if (const auto text = Files::readUtf8(cachedSpecFile())) {
    if (auto spec = RuntimeSpec::parse(*text, base)) {
      spec_ = std::move(spec);
      return true;
    }
  }
  spec_ = builtInSpec(base);
  return false;
}

std::optional<RuntimeSpec> Runtime::builtInSpec(const std::string& base) const {
  // The Mac build for macOS; no Wine build of ours fits every Linux, so there
  // the system's packages stand in.
  if (buildOs == Os::macOS) return RuntimeSpec::from(fallbackRuntime(), base);
  return SystemWine::spec(SystemWine::find(*wines_));
}

}  // namespace qh
