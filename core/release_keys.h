// The Ed25519 public keys a release from the distribution server must be
// signed with. The build names them (QH_RELEASE_KEYS) and the bundle carries
// them as "release-keys.pem"; net/signature.h checks signatures against them.
// Thread-safety: plain values; the functions are pure except fromBundle().
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qh {

struct PublicKey {
  std::array<unsigned char, 32> raw{};

  // Its first 8 bytes in lower-case hex: how a signature line names its key.
  std::string id() const;
  bool operator==(const PublicKey&) const = default;
};

struct ReleaseKeys {
  std::vector<PublicKey> keys;
  // The build named keys, so signatures are checked even when none of them
  // could be read (and then nothing verifies).
  bool required = false;

  // Whether signatures are checked at all. Without keys the launcher trusts
  // what the server sends, as it always did.
  bool enforced() const { return required || !keys.empty(); }

  struct Parsed {
    std::vector<PublicKey> keys;
    // "PUBLIC KEY" blocks that are no Ed25519 key, or damaged.
    int passedOver = 0;
  };
  // The Ed25519 keys of every "PUBLIC KEY" block of a PEM text, as
  // `openssl pkey -pubout` writes them. Text outside the blocks is ignored.
  static Parsed parsePem(std::string_view text);

  // The keys in the running bundle's "release-keys.pem"; `required` when the
  // build named any. Logs how many it trusts and any it could not read.
  static ReleaseKeys fromBundle();
};

}  // namespace qh
