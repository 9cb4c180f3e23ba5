#include "net/crypto_library.h"

#include <dlfcn.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace {

#ifndef __APPLE__
constexpr const char* libraryName = "libcrypto.so.3";

template <class F>
void resolve(void* handle, const char* name, F& out, std::string& missing) {
  out = reinterpret_cast<F>(::dlsym(handle, name));
  if (!out && missing.empty()) missing = name;
}
#endif

// Either the table or why it could not be made; a failed load is not retried.
struct Loaded {
  std::optional<CryptoLibrary> library;
  std::string error;
};

#ifdef __APPLE__
// Linked as usual: macOS has no system libcrypto to open by name.
Loaded load() {
  return {CryptoLibrary{&::EVP_sha1, &::EVP_sha256, &::EVP_MD_CTX_new, &::EVP_MD_CTX_free,
                        &::EVP_DigestInit_ex, &::EVP_DigestUpdate, &::EVP_DigestFinal_ex},
          {}};
}
#else
Loaded load() {
  void* handle = ::dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* e = ::dlerror();
    return {std::nullopt,
            "cannot load " + std::string(libraryName) + ": " + (e ? e : "unknown error")};
  }
  CryptoLibrary c{};
  std::string missing;
  resolve(handle, "EVP_sha1", c.sha1, missing);
  resolve(handle, "EVP_sha256", c.sha256, missing);
  resolve(handle, "EVP_MD_CTX_new", c.mdCtxNew, missing);
  resolve(handle, "EVP_MD_CTX_free", c.mdCtxFree, missing);
  resolve(handle, "EVP_DigestInit_ex", c.digestInit, missing);
  resolve(handle, "EVP_DigestUpdate", c.digestUpdate, missing);
  resolve(handle, "EVP_DigestFinal_ex", c.digestFinal, missing);
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
