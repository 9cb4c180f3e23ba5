#include "model/package_managed.h"

namespace qh {

bool packageManaged(const std::optional<std::filesystem::path>& resources) {
  std::error_code ec;
  return resources && std::filesystem::exists(*resources / packageMarkerName, ec);
}

}  // namespace qh
