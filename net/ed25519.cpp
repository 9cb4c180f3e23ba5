#include "net/ed25519.h"

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "net/opened_library.h"

namespace qh::Ed25519 {
namespace {

// The few entry points a check needs, apart from the digests'
// (crypto_library.h): each table is opened on its own first use.
struct VerifyLibrary {
  decltype(&::EVP_PKEY_new_raw_public_key) newRawPublicKey;
  decltype(&::EVP_PKEY_free) keyFree;
  decltype(&::EVP_MD_CTX_new) mdCtxNew;
  decltype(&::EVP_MD_CTX_free) mdCtxFree;
  decltype(&::EVP_DigestVerifyInit) verifyInit;
  decltype(&::EVP_DigestVerify) verify;
};

using Loaded = OpenedLibrary<VerifyLibrary>;

#ifdef __APPLE__
// Linked as usual: macOS has no system libcrypto to open by name.
Loaded load() {
  return {VerifyLibrary{&::EVP_PKEY_new_raw_public_key, &::EVP_PKEY_free, &::EVP_MD_CTX_new,
                        &::EVP_MD_CTX_free, &::EVP_DigestVerifyInit, &::EVP_DigestVerify},
          {}};
}
#else
constexpr const char* libraryName = "libcrypto.so.3";

Loaded load() {
  void* handle = ::dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    return {std::nullopt, "cannot load " + std::string(libraryName) + ": " + openError()};
  }
  VerifyLibrary v{};
  std::string missing;
  resolveSymbol(handle, "EVP_PKEY_new_raw_public_key", v.newRawPublicKey, missing);
  resolveSymbol(handle, "EVP_PKEY_free", v.keyFree, missing);
  resolveSymbol(handle, "EVP_MD_CTX_new", v.mdCtxNew, missing);
  resolveSymbol(handle, "EVP_MD_CTX_free", v.mdCtxFree, missing);
  resolveSymbol(handle, "EVP_DigestVerifyInit", v.verifyInit, missing);
  resolveSymbol(handle, "EVP_DigestVerify", v.verify, missing);
  if (!missing.empty()) return {std::nullopt, std::string(libraryName) + " lacks " + missing};
  return {v, {}};
}
#endif

const VerifyLibrary& library() {
  static const Loaded loaded = load();
  if (!loaded.library) throw std::runtime_error(loaded.error);
  return *loaded.library;
}

}  // namespace

bool verify(const PublicKey& key, std::string_view message, std::string_view signature) {
  if (signature.size() != signatureSize) return false;
  const VerifyLibrary& lib = library();
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
