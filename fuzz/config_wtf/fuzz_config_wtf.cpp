// Input: the key, a line feed, the value, a line feed, then the file text.
// Checks that an edit never crashes, that the new line is in the result, and
// that repeating the same edit writes nothing.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "client/config_wtf.h"
#include "fuzz_support.h"

namespace qh {

using fuzz::require;

}  // namespace qh

using namespace qh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t keyEnd = input.find('\n');
  if (keyEnd == std::string_view::npos) return 0;
  const size_t valueEnd = input.find('\n', keyEnd + 1);
  if (valueEnd == std::string_view::npos) return 0;
  const std::string_view key = input.substr(0, keyEnd);
  const std::string_view value = input.substr(keyEnd + 1, valueEnd - keyEnd - 1);
  const std::string_view text = input.substr(valueEnd + 1);

  const std::optional<std::string> once = ClientFiles::withConfigLine(text, key, value);
  if (!once) return 0;
  const std::string line = "SET " + std::string(key) + " \"" + std::string(value) + "\"";
  require(once->find(line) != std::string::npos);

  const std::optional<std::string> twice = ClientFiles::withConfigLine(*once, key, value);
  if (text.find("\r\n") == std::string_view::npos && once->find("\r\n") != std::string::npos) {
    // A last line ending in a lone CR meets the LF put after it: the second
    // edit reads the file as CR LF, and one more edit is the most it may take.
    if (twice) require(!ClientFiles::withConfigLine(*twice, key, value));
    return 0;
  }
  require(!twice);
  return 0;
}
