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

RuntimeError RuntimeError::wine32Missing() {
  return {Kind::wine32Missing,
          "The Wine installed on this computer starts only 64-bit programs, and the game is a "
          "32-bit one. Install the wine32 package: on Debian or Ubuntu, run "
          "\"sudo dpkg --add-architecture i386\", \"sudo apt update\", then "
          "\"sudo apt install wine32:i386\".",
          0};
}

RuntimeError RuntimeError::wineMissing() {
  return {Kind::wineMissing,
          "The game runs through Wine, and Wine is not installed. Install the wine and wine32 "
          "packages: on Debian or Ubuntu, run \"sudo dpkg --add-architecture i386\", "
          "\"sudo apt update\", then \"sudo apt install wine wine32:i386\".",
          0};
}

std::string RuntimeError::need() const {
  switch (kind_) {
    case Kind::wine32Missing:
      return "the wine32 package";
    case Kind::wineMissing:
      return "Wine (the wine and wine32 packages)";
    default:
      return {};
  }
}

}  // namespace qh
