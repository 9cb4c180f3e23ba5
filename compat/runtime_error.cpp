#include "compat/runtime_error.h"

namespace qh {

RuntimeError RuntimeError::missingBinary(const std::string& item) {
  return {Kind::missingBinary,
          "The compatibility layer is incomplete (missing " + item +
              "). Use Tools > Reset compatibility layer.",
          0};
}

RuntimeError RuntimeError::extractFailed(int32_t tarStatus) {
  return {Kind::extractFailed,
          "Unpacking the compatibility layer failed (tar exit " + std::to_string(tarStatus) + ").",
          tarStatus};
}

RuntimeError RuntimeError::wineboot(int32_t winebootStatus) {
  return {Kind::wineboot,
          "Setting up the Windows environment failed (wineboot exit " +
              std::to_string(winebootStatus) + "). See wine.log in Tools > Open logs.",
          winebootStatus};
}

RuntimeError RuntimeError::rosettaMissing() {
  return {Kind::rosettaMissing, "Rosetta 2 is required on Apple Silicon Macs and is not installed.",
          0};
}

}  // namespace qh
