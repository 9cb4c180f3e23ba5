// The signature files the launcher reads beside the manifest, the runtime
// description and the launcher archive. Checks that what parses keeps the
// format's limits and spells itself again exactly, and that a check against
// a real key never passes for a message nobody signed with it.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/os_layout.h"
#include "fuzz_support.h"
#include "net/signature.h"

namespace qh {

using fuzz::require;

// A genuine public key whose private half is long gone.
PublicKey realKey() {
  PublicKey key;
  key.raw = {0xed, 0x83, 0xd1, 0xcb, 0x04, 0xb2, 0x65, 0xe5, 0x51, 0xd6, 0x32,
             0x6e, 0x4c, 0xa2, 0x0e, 0x49, 0x7e, 0xe8, 0x80, 0x2b, 0xb2, 0xdc,
             0x51, 0x61, 0x8c, 0xd1, 0x46, 0x07, 0xd4, 0x97, 0x51, 0xcd};
  return key;
}

}  // namespace qh

using namespace qh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  std::vector<Signature::Line> lines;
  try {
    lines = Signature::parse(file);
  } catch (const SignatureError&) {
    return 0;
  }
  require(size <= Signature::maxBytes);
  require(!lines.empty() && lines.size() <= Signature::maxLines);
  std::string again = std::string(Signature::formatTag) + "\n";
  // The same signatures, each naming the real key, so every one is verified.
  std::string forged = again;
  const PublicKey key = realKey();
  for (const Signature::Line& line : lines) {
    require(line.keyId.size() == 16);
    require(line.keyId.find_first_not_of("0123456789abcdef") == std::string::npos);
    require(line.signature.size() == 64);
    again += Signature::formatLine(line);
    forged += Signature::formatLine({key.id(), line.signature});
  }
  const auto reparsed = Signature::parse(again);
  require(reparsed.size() == lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    require(reparsed[i].keyId == lines[i].keyId && reparsed[i].signature == lines[i].signature);
  }
  bool passed = true;
  try {
    Signature::check(ReleaseKeys{{key}},
                     Signature::runtimeMessage(osLayout().runtimeDescription, "wine_id=fuzz\n"),
                     forged);
  } catch (const SignatureError&) {
    passed = false;
  }
  require(!passed);
  return 0;
}
