// The error of the compatibility layer; what() is the text the user reads.
#pragma once

#include <cstdint>
#include <string>

#include "core/error.h"

namespace qh {

class RuntimeError : public Error {
 public:
  enum class Kind {
    missingBinary,
    extractFailed,
    wineboot,
    rosettaMissing,
    wine32Missing,
    wineMissing
  };

  // `item` names what is missing (a relative path or a program name).
  static RuntimeError missingBinary(const std::string& item);
  static RuntimeError extractFailed(int32_t tarStatus);
  static RuntimeError wineboot(int32_t winebootStatus);
  static RuntimeError rosettaMissing();
  // Linux without a runtime from the server: the system's Wine starts 64-bit
  // programs only, or there is no Wine at all.
  static RuntimeError wine32Missing();
  static RuntimeError wineMissing();

  Kind kind() const { return kind_; }
  // The program's exit status of extractFailed and wineboot, or 0.
  int32_t status() const { return status_; }
  // What the player must install, as a status line says it ("the game needs
  // ..."); empty but for wine32Missing and wineMissing.
  std::string need() const;

 private:
  RuntimeError(Kind kind, const std::string& text, int32_t status)
      : Error(text), kind_(kind), status_(status) {}
  Kind kind_;
  int32_t status_;
};

}  // namespace qh
