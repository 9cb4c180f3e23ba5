// The error of a self-update failure that is not the network's.
// Thread-safety: plain values; throw and copy them on any thread.
#pragma once

#include <string>

#include "core/error.h"

namespace qh {

// what() is the message the error marker and the "selfupdate: " log line
// carry; logText() what the log says first when it knows more.
class SelfUpdateError : public Error {
 public:
  using Error::Error;

  // "unzip failed": the archive was refused, or its unpacking failed; `why`
  // goes to the log alone ("archive refused: <reason>").
  static SelfUpdateError unzipFailed(const std::string& why) { return {"unzip failed", why}; }
};

}  // namespace qh
