// The version texts the launcher reads from the server: the client's
// "version.txt" (decoded leniently, trimmed, compared whole) and the launcher's
// build number of the self-update. Checks that decoding and trimming give
// valid, stable text, and that a build number is accepted exactly when the
// text is an optional sign and digits, with the value it spells.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/text.h"
#include "fuzz_support.h"
#include "selfupdate/self_update.h"

namespace qh {

using fuzz::require;

}  // namespace qh

using namespace qh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);

  const std::string body = Text::toUtf8Lossy(raw);
  require(Text::isValidUtf8(body));
  if (Text::isValidUtf8(raw)) require(body == raw);
  const std::string version = Text::trimWhitespace(body);
  require(Text::trimWhitespace(version) == version);
  require(body.find(version) != std::string::npos);
  require(Text::trimWhitespace("\r\n " + version + "\xE2\x80\xA8\t") == version);

  const SelfUpdate::Build build = SelfUpdate::parseBuild(raw);
  const std::string_view digits =
      !raw.empty() && (raw.front() == '+' || raw.front() == '-') ? raw.substr(1) : raw;
  const bool shaped =
      !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
  if (build.value) {
    require(shaped);
    require(!build.outOfRange);
    std::string spelled = std::to_string(*build.value);
    std::string given(digits);
    given.erase(0, std::min(given.find_first_not_of('0'), given.size() - 1));
    const bool negative = spelled.front() == '-';
    if (negative) spelled.erase(0, 1);
    require(given == spelled);
    require(negative == (raw.front() == '-' && given != "0"));
  } else if (!shaped) {
    require(!build.outOfRange);
  }
  if (build.outOfRange) require(shaped);
  return 0;
}
