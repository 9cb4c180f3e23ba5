#include "net/crypto_library.h"

#include <stdexcept>
#include <string>

#include "net/opened_library.h"

namespace qh {

namespace {

#ifndef __APPLE__
constexpr const char* libraryName = "libcrypto.so.3";
#endif

using Loaded = OpenedLibrary<CryptoLibrary>;

#ifdef __APPLE__
// Linked as usual: macOS has no system libcrypto to open by name.
Loaded load() {
  return {CryptoLibrary{&::EVP_sha1, &::EVP_sha256, &::EVP_MD_CTX_new, &::EVP_MD_CTX_free,
                        &::EVP_DigestInit_ex, &::EVP_DigestUpdate, &::EVP_DigestFinal_ex,
                        &::EVP_PKEY_new_raw_public_key, &::EVP_PKEY_free, &::EVP_DigestVerifyInit,
                        &::EVP_DigestVerify},
          {}};
}
#else
Loaded load() {
  void* handle = ::dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    return {std::nullopt, "cannot load " + std::string(libraryName) + ": " + openError()};
  }
  CryptoLibrary c{};
  std::string missing;
  resolveSymbol(handle, "EVP_sha1", c.sha1, missing);
  resolveSymbol(handle, "EVP_sha256", c.sha256, missing);
  resolveSymbol(handle, "EVP_MD_CTX_new", c.mdCtxNew, missing);
  resolveSymbol(handle, "EVP_MD_CTX_free", c.mdCtxFree, missing);
  resolveSymbol(handle, "EVP_DigestInit_ex", c.digestInit, missing);
  resolveSymbol(handle, "EVP_DigestUpdate", c.digestUpdate, missing);
  resolveSymbol(handle, "EVP_DigestFinal_ex", c.digestFinal, missing);
  resolveSymbol(handle, "EVP_PKEY_new_raw_public_key", c.newRawPublicKey, missing);
  resolveSymbol(handle, "EVP_PKEY_free", c.keyFree, missing);
  resolveSymbol(handle, "EVP_DigestVerifyInit", c.verifyInit, missing);
  resolveSymbol(handle, "EVP_DigestVerify", c.verify, missing);
  if (!missing.empty()) return {std::nullopt, std::string(libraryName) + " lacks " + missing};
  // Kept loaded for the life of the process: digests may be in use until exit.
  return {c, {}};
}
#endif

}  // namespace

const CryptoLibrary& CryptoLibrary::get() {
  static const Loaded loaded = load();
  if (!loaded.library) throw std::runtime_error(loaded.error);
  return *loaded.library;
}

}  // namespace qh
