#include "net/ed25519.h"

#include <openssl/evp.h>

#include <memory>

#include "net/crypto_library.h"

namespace qh::Ed25519 {

bool verify(const PublicKey& key, std::string_view message, std::string_view signature) {
  if (signature.size() != signatureSize) return false;
  const CryptoLibrary& lib = CryptoLibrary::get();
  const auto keyFree = [&lib](EVP_PKEY* k) { lib.keyFree(k); };
  const auto ctxFree = [&lib](EVP_MD_CTX* c) { lib.mdCtxFree(c); };
  const std::unique_ptr<EVP_PKEY, decltype(keyFree)> pkey(
      lib.newRawPublicKey(EVP_PKEY_ED25519, nullptr, key.raw.data(), key.raw.size()), keyFree);
  const std::unique_ptr<EVP_MD_CTX, decltype(ctxFree)> ctx(lib.mdCtxNew(), ctxFree);
  if (!pkey || !ctx) return false;
  // Ed25519 hashes the message itself: no digest is named.
  if (lib.verifyInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1) return false;
  return lib.verify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                    signature.size(), reinterpret_cast<const unsigned char*>(message.data()),
                    message.size()) == 1;
}

}  // namespace qh::Ed25519
