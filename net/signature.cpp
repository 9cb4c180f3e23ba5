#include "net/signature.h"

#include "core/base64.h"
#include "net/ed25519.h"
#include "net/hash.h"

namespace qh::Signature {
namespace {

std::string sha256Of(std::string_view bytes) {
  Hash::Digest d(Hash::Algorithm::sha256);
  d.update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return d.hex();
}

bool isKeyId(std::string_view s) {
  return s.size() == 16 && s.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The words of a line split at single spaces; an empty word stays empty.
std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  for (size_t at = 0;;) {
    const size_t space = line.find(' ', at);
    out.push_back(line.substr(at, space - at));
    if (space == std::string_view::npos) return out;
    at = space + 1;
  }
}

std::string message(std::string_view file, std::string_view fields) {
  return "quellhaven-signed 1\nfile " + std::string(file) + "\n" + std::string(fields);
}

}  // namespace

std::vector<Line> parse(std::string_view file) {
  if (file.size() > maxBytes) throw SignatureError("signature file larger than 4096 bytes");
  std::vector<std::string_view> lines;
  for (size_t at = 0; at < file.size();) {
    size_t end = file.find('\n', at);
    if (end == std::string_view::npos) end = file.size();
    std::string_view line = file.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
    at = end + 1;
  }
  if (lines.empty()) throw SignatureError("empty signature file");
  if (lines.front() != formatTag) throw SignatureError("not a signature file of format 1");
  if (lines.size() - 1 > maxLines) throw SignatureError("more than 16 signature lines");
  std::vector<Line> out;
  for (size_t i = 1; i < lines.size(); ++i) {
    const auto w = words(lines[i]);
    if (w.size() != 3 || w[0].empty()) {
      throw SignatureError("signature line " + std::to_string(i) + " is damaged");
    }
    if (w[0] != "ed25519") continue;
    const auto signature = Base64::decode(w[2]);
    if (!isKeyId(w[1]) || !signature || signature->size() != Ed25519::signatureSize) {
      throw SignatureError("signature line " + std::to_string(i) + " is damaged");
    }
    out.push_back({std::string(w[1]), *signature});
  }
  if (out.empty()) throw SignatureError("no ed25519 signature line");
  return out;
}

std::string formatLine(const Line& line) {
  return "ed25519 " + line.keyId + " " + Base64::encode(line.signature) + "\n";
}

std::string manifestMessage(std::string_view version, std::string_view manifest) {
  return message("manifest.txt",
                 "version " + std::string(version) + "\nsha256 " + sha256Of(manifest) + "\n");
}

std::string runtimeMessage(std::string_view file, std::string_view description) {
  return message(file, "sha256 " + sha256Of(description) + "\n");
}

std::string launcherMessage(std::string_view file, long long build, int64_t size,
                            std::string_view sha256) {
  return message(file, "build " + std::to_string(build) + "\nsize " + std::to_string(size) +
                           "\nsha256 " + std::string(sha256) + "\n");
}

void check(const ReleaseKeys& keys, std::string_view message, std::string_view file) {
  bool trustedLine = false;
  for (const Line& line : parse(file)) {
    for (const PublicKey& key : keys.keys) {
      if (key.id() != line.keyId) continue;
      trustedLine = true;
      if (Ed25519::verify(key, message, line.signature)) return;
    }
  }
  if (!trustedLine) throw SignatureError("not signed by a trusted key");
  throw SignatureError("the signature does not match");
}

}  // namespace qh::Signature
