// Ed25519 signature checks through libcrypto's EVP interface, which is
// opened on the first check, not at start.
// Thread-safety: any thread.
#pragma once

#include <string_view>

#include "core/release_keys.h"

namespace qh::Ed25519 {

inline constexpr size_t signatureSize = 64;

// Whether `signature` is `key`'s signature of `message`; false for a
// signature that is not signatureSize bytes. Throws std::runtime_error when
// libcrypto cannot be loaded.
bool verify(const PublicKey& key, std::string_view message, std::string_view signature);

}  // namespace qh::Ed25519
