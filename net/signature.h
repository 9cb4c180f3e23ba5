// Detached signatures of the files on the distribution server that decide
// what the launcher installs or runs: the client manifest with its version,
// the runtime description and the launcher archive. A signature file lies
// beside its file with ".sig" added:
//
//   quellhaven-signature 1
//   ed25519 <key id: 16 hex digits> <signature: 88 characters of base64>
//   ...one line per signing key, at most maxLines
//
// A signature covers a message that names the file and what it binds
// (the *Message functions); docs/security.md describes both formats.
// Thread-safety: pure functions, any thread; check() blocks briefly on
// libcrypto.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/release_keys.h"

namespace qh {

// A signature file that does not prove its file came from the publisher.
// what() says why, for the log; the flows show texts of their own.
class SignatureError : public Error {
 public:
  using Error::Error;
};

namespace Signature {

inline constexpr std::string_view formatTag = "quellhaven-signature 1";
inline constexpr size_t maxLines = 16;
inline constexpr size_t maxBytes = 4096;

struct Line {
  std::string keyId;
  // Ed25519::signatureSize bytes.
  std::string signature;
};

// The signature lines of a signature file, in file order. Lines of another
// algorithm are passed over, so a later format can add them. Throws
// SignatureError for an empty file, another format, a damaged line, no
// ed25519 line, or more than maxLines lines or maxBytes bytes.
std::vector<Line> parse(std::string_view file);

// One line of a signature file, with its line end.
std::string formatLine(const Line& line);

// What is signed for the manifest: its version text (trimmed, as compared
// with ".qhversion") and the SHA-256 of the manifest's bytes as received.
std::string manifestMessage(std::string_view version, std::string_view manifest);
// What is signed for a runtime description (`file`, its path on the server,
// OsLayout::runtimeDescription): the SHA-256 of its bytes.
std::string runtimeMessage(std::string_view file, std::string_view description);
// What is signed for a launcher archive (`file`, OsLayout::launcherArchive):
// its build number, size and SHA-256. Naming the file keeps one platform's
// signed release from passing for the other's.
std::string launcherMessage(std::string_view file, long long build, int64_t size,
                            std::string_view sha256);

// Returns when `file` holds a valid signature of `message` by one of
// `keys`; throws SignatureError saying why not (parse()'s reasons, no line
// by a trusted key, or no trusted line that verifies). Throws
// std::runtime_error when libcrypto cannot be loaded.
void check(const ReleaseKeys& keys, std::string_view message, std::string_view file);

}  // namespace Signature

}  // namespace qh
