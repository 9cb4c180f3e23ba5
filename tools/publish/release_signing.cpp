#include "tools/publish/release_signing.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <charconv>
#include <functional>

#include "core/error.h"
#include "core/files.h"
#include "core/os_layout.h"
#include "core/text.h"
#include "net/hash.h"
#include "net/signature.h"

namespace qh::ReleaseSigning {

namespace fs = std::filesystem;

namespace {

struct BioFree {
  void operator()(BIO* b) const { BIO_free(b); }
};
using Bio = std::unique_ptr<BIO, BioFree>;

std::string drain(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return size > 0 ? std::string(data, static_cast<size_t>(size)) : std::string();
}

// An encrypted key would otherwise make libcrypto ask on the terminal.
int noPassword(char*, int, int, void*) {
  return -1;
}

// The launcher decodes what it fetches as UTF-8 with U+FFFD for bad bytes,
// and signatures cover what it sees.
std::string fetchedText(const fs::path& file) {
  const auto bytes = Files::read(file);
  if (!bytes) throw Error("cannot read " + file.string());
  return Text::toUtf8Lossy(*bytes);
}

long long buildNumber(const fs::path& file) {
  const std::string text = Text::trimWhitespace(fetchedText(file));
  long long build = 0;
  const auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), build);
  if (err != std::errc() || end != text.data() + text.size() || build < 1) {
    throw Error(file.string() + " does not hold a build number");
  }
  return build;
}

}  // namespace

struct SigningKey::Key {
  explicit Key(EVP_PKEY* k) : pkey(k) {}
  ~Key() { EVP_PKEY_free(pkey); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  EVP_PKEY* pkey;
};

SigningKey::SigningKey(std::shared_ptr<Key> key) : key_(std::move(key)) {
  size_t size = public_.raw.size();
  if (EVP_PKEY_get_raw_public_key(key_->pkey, public_.raw.data(), &size) != 1 ||
      size != public_.raw.size()) {
    throw Error("cannot read the public half of the signing key");
  }
}

SigningKey SigningKey::fromPem(std::string_view pem) {
  const Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  EVP_PKEY* pkey = bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassword, nullptr) : nullptr;
  if (!pkey) throw Error("no unencrypted private key in PEM form");
  auto key = std::make_shared<Key>(pkey);
  if (EVP_PKEY_get_id(pkey) != EVP_PKEY_ED25519) throw Error("the key is not an Ed25519 key");
  return SigningKey(std::move(key));
}

SigningKey SigningKey::load(const fs::path& pemFile) {
  const auto pem = Files::read(pemFile);
  if (!pem) throw Error("cannot read the signing key " + pemFile.string());
  try {
    return fromPem(*pem);
  } catch (const Error& e) {
    throw Error(pemFile.string() + ": " + e.what());
  }
}

SigningKey SigningKey::generate() {
  EVP_PKEY* pkey = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
  if (!pkey) throw Error("libcrypto could not make an Ed25519 key");
  return SigningKey(std::make_shared<Key>(pkey));
}

std::string SigningKey::privatePem() const {
  const Bio bio(BIO_new(BIO_s_mem()));
  if (!bio ||
      PEM_write_bio_PrivateKey(bio.get(), key_->pkey, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    throw Error("cannot write the private key as PEM");
  }
  return drain(bio.get());
}

std::string SigningKey::publicPem() const {
  const Bio bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PUBKEY(bio.get(), key_->pkey) != 1) {
    throw Error("cannot write the public key as PEM");
  }
  return drain(bio.get());
}

std::string SigningKey::sign(std::string_view message) const {
  const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
  std::string signature(64, '\0');
  size_t size = signature.size();
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key_->pkey) != 1 ||
      EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1 ||
      size != signature.size()) {
    throw Error("libcrypto could not sign");
  }
  return signature;
}

std::string signatureFile(const std::vector<SigningKey>& keys, std::string_view message) {
  std::string file = std::string(Signature::formatTag) + "\n";
  for (const SigningKey& key : keys) {
    file += Signature::formatLine({key.publicKey().id(), key.sign(message)});
  }
  return file;
}

std::vector<std::string> signPublished(const fs::path& out, const std::vector<SigningKey>& keys) {
  struct Release {
    std::string rel;
    std::function<std::string()> message;
  };
  std::vector<Release> releases = {
      {"manifest.txt",
       [&] {
         return Signature::manifestMessage(Text::trimWhitespace(fetchedText(out / "version.txt")),
                                           fetchedText(out / "manifest.txt"));
       }},
  };
  for (const Os os : {Os::macOS, Os::Linux}) {
    const OsLayout& layout = osLayout(os);
    releases.push_back({layout.runtimeDescription, [&out, &layout] {
                          return Signature::runtimeMessage(
                              layout.runtimeDescription,
                              fetchedText(out / layout.runtimeDescription));
                        }});
    releases.push_back({layout.launcherArchive, [&out, &layout] {
                          const fs::path zip = out / layout.launcherArchive;
                          std::error_code ec;
                          const auto size = fs::file_size(zip, ec);
                          if (ec) throw Error("cannot read " + zip.string());
                          return Signature::launcherMessage(
                              layout.launcherArchive, buildNumber(out / layout.launcherVersion),
                              static_cast<int64_t>(size), Hash::sha256(zip));
                        }});
  }
  std::vector<std::string> signedFiles;
  for (const Release& release : releases) {
    const fs::path file = out / release.rel;
    const fs::path sig = out / (release.rel + ".sig");
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
      fs::remove(sig, ec);
      continue;
    }
    if (Files::writeAtomic(sig, signatureFile(keys, release.message()))) {
      throw Error("cannot write " + sig.string());
    }
    signedFiles.push_back(release.rel);
  }
  return signedFiles;
}

}  // namespace qh::ReleaseSigning
