// The error of the compatibility layer; what() is the text the user reads.
#pragma once

#include <cstdint>
#include <string>

#include "core/error.h"

namespace qh {

class RuntimeError : public Error {
 public:
  enum class Kind { missingBinary, extractFailed, wineboot, rosettaMissing };

  // `item` names what is missing (a relative path or a program name).
  static RuntimeError missingBinary(const std::string& item);
  static RuntimeError extractFailed(int32_t tarStatus);
  static RuntimeError wineboot(int32_t winebootStatus);
  static RuntimeError rosettaMissing();

  Kind kind() const { return kind_; }
  // The program's exit status of extractFailed and wineboot, or 0.
  int32_t status() const { return status_; }

 private:
  RuntimeError(Kind kind, const std::string& text, int32_t status)
      : Error(text), kind_(kind), status_(status) {}
  Kind kind_;
  int32_t status_;
};

}  // namespace qh
