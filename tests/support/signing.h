// Release keys made at test time: the launcher's trusted set from keys the
// test signs with.
#pragma once

#include <vector>

#include "core/release_keys.h"
#include "tools/publish/release_signing.h"

namespace qh {

inline ReleaseKeys trusting(const std::vector<ReleaseSigning::SigningKey>& keys) {
  ReleaseKeys trusted;
  for (const auto& key : keys) trusted.keys.push_back(key.publicKey());
  return trusted;
}

}  // namespace qh
