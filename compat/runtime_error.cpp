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
          "The installed Wine runs 64-bit programs only; the game is 32-bit. On Debian or Ubuntu: "
          "sudo dpkg --add-architecture i386 && sudo apt update && sudo apt install wine32:i386",
          0};
}

RuntimeError RuntimeError::wineMissing() {
  return {Kind::wineMissing,
          "Wine is not installed, and the game runs through it. On Debian or Ubuntu: sudo dpkg "
          "--add-architecture i386 && sudo apt update && sudo apt install wine wine32:i386",
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
