#include "core/release_keys.h"

#include <algorithm>

#include "core/base64.h"
#include "core/files.h"
#include "core/log.h"
#include "core/qh.h"
#include "platform/platform.h"

namespace qh {

namespace {

constexpr std::string_view begin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view end = "-----END PUBLIC KEY-----";

// SubjectPublicKeyInfo of an Ed25519 key is these 12 bytes, then the key's 32.
constexpr unsigned char ed25519Prefix[] = {0x30, 0x2a, 0x30, 0x05, 0x06, 0x03,
                                           0x2b, 0x65, 0x70, 0x03, 0x21, 0x00};

std::optional<PublicKey> fromDer(std::string_view der) {
  constexpr size_t prefixSize = sizeof(ed25519Prefix);
  PublicKey key;
  if (der.size() != prefixSize + key.raw.size()) return std::nullopt;
  if (!std::equal(der.begin(), der.begin() + prefixSize, std::begin(ed25519Prefix),
                  [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; })) {
    return std::nullopt;
  }
  std::copy(der.begin() + prefixSize, der.end(), key.raw.begin());
  return key;
}

}  // namespace

std::string PublicKey::id() const {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < 8; ++i) {
    text += digits[raw[i] >> 4];
    text += digits[raw[i] & 0xF];
  }
  return text;
}

ReleaseKeys::Parsed ReleaseKeys::parsePem(std::string_view text) {
  Parsed parsed;
  for (size_t at = text.find(begin); at != std::string_view::npos; at = text.find(begin, at)) {
    at += begin.size();
    const size_t stop = text.find(end, at);
    if (stop == std::string_view::npos) {
      ++parsed.passedOver;
      break;
    }
    std::string body;
    for (const char c : text.substr(at, stop - at)) {
      if (c != '\n' && c != '\r' && c != ' ' && c != '\t') body += c;
    }
    const auto der = Base64::decode(body);
    const auto key = der ? fromDer(*der) : std::nullopt;
    if (key) {
      parsed.keys.push_back(*key);
    } else {
      ++parsed.passedOver;
    }
    at = stop + end.size();
  }
  return parsed;
}

ReleaseKeys ReleaseKeys::fromBundle() {
  ReleaseKeys trusted;
  trusted.required = QH::releaseKeyCount() > 0;
  const auto resources = Platform::resourcesDir();
  const auto text =
      resources ? Files::read(*resources / "release-keys.pem") : std::optional<std::string>();
  const Parsed parsed = parsePem(text.value_or(""));
  trusted.keys = parsed.keys;
  if (parsed.passedOver > 0) {
    Log::line("release keys: " + std::to_string(parsed.passedOver) +
              " in release-keys.pem are no Ed25519 public key");
  }
  if (trusted.enforced()) {
    Log::line("release keys: " + std::to_string(trusted.keys.size()) + " trusted, " +
              std::to_string(QH::releaseKeyCount()) + " named by the build");
  }
  return trusted;
}

}  // namespace qh
