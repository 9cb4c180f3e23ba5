// Checks that scanning any bytes for a realm host never crashes, and that
// comment lines before or after the text never change the answer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/realm_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool names = ClientFiles::namesRealmHost(text);
  if (ClientFiles::namesRealmHost("# before\n" + std::string(text)) != names) std::abort();
  if (ClientFiles::namesRealmHost(std::string(text) + "\n#set realmlist x") != names) std::abort();
  return 0;
}
