// Signing what qh-publish writes: Ed25519 private keys in PEM (as
// `openssl genpkey -algorithm ed25519` writes them) and the ".sig" file
// beside each published file that decides what the launcher installs or
// runs (net/signature.h has the format).
// Thread-safety: any thread; each key is used by one thread at a time.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/release_keys.h"

namespace qh::ReleaseSigning {

class SigningKey {
 public:
  // Reads an Ed25519 private key from a PEM file. Throws Error naming the
  // file when it cannot be read or holds no Ed25519 private key.
  static SigningKey load(const std::filesystem::path& pemFile);
  // A key from PEM text. Throws Error as load().
  static SigningKey fromPem(std::string_view pem);
  // A fresh key. Throws Error when libcrypto fails.
  static SigningKey generate();

  const PublicKey& publicKey() const { return public_; }
  // The private key as PKCS#8 PEM, and the public key as PEM.
  std::string privatePem() const;
  std::string publicPem() const;
  // The 64-byte signature of `message`.
  std::string sign(std::string_view message) const;

 private:
  struct Key;
  explicit SigningKey(std::shared_ptr<Key> key);
  std::shared_ptr<Key> key_;
  PublicKey public_;
};

// A signature file of `message`, one line per key, in the keys' order.
std::string signatureFile(const std::vector<SigningKey>& keys, std::string_view message);

// Writes "<file>.sig" for each of "manifest.txt" (with "version.txt") and,
// for every platform's folder (OsLayout), the runtime description and the
// launcher archive (with its launcher_version.txt) that `out` holds, and
// removes such a ".sig"
// whose file is gone. Returns the files signed, relative to `out`. Throws
// Error when a file cannot be read, a version text is missing or not as the
// launcher reads it, or a signature cannot be written.
std::vector<std::string> signPublished(const std::filesystem::path& out,
                                       const std::vector<SigningKey>& keys);

}  // namespace qh::ReleaseSigning
