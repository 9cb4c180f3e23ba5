// libcrypto's digest and signature-check entry points, opened on first use
// rather than linked: a start draws its window without loading libcrypto.
// Internal to net/.
// Thread-safety: get() may be called from any thread; the table is read-only.
#pragma once

#include <openssl/evp.h>

namespace qh {

struct CryptoLibrary {
  decltype(&::EVP_sha1) sha1;
  decltype(&::EVP_sha256) sha256;
  decltype(&::EVP_MD_CTX_new) mdCtxNew;
  decltype(&::EVP_MD_CTX_free) mdCtxFree;
  decltype(&::EVP_DigestInit_ex) digestInit;
  decltype(&::EVP_DigestUpdate) digestUpdate;
  decltype(&::EVP_DigestFinal_ex) digestFinal;
  decltype(&::EVP_PKEY_new_raw_public_key) newRawPublicKey;
  decltype(&::EVP_PKEY_free) keyFree;
  decltype(&::EVP_DigestVerifyInit) verifyInit;
  decltype(&::EVP_DigestVerify) verify;

  // The library, loaded once. Throws std::runtime_error when it cannot be
  // loaded.
  static const CryptoLibrary& get();
};

}  // namespace qh
