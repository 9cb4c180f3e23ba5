// Checks that scanning any bytes for a realm host never crashes; that comment
// lines before or after the text, or CR in place of every LF, never change
// the answer; and that the launcher's own realm line always names a host.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "client/realm_list.h"

using namespace qh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool names = ClientFiles::namesRealmHost(text);
  if (ClientFiles::namesRealmHost("# before\n" + std::string(text)) != names) std::abort();
  if (ClientFiles::namesRealmHost(std::string(text) + "\n#set realmlist x") != names) std::abort();
  std::string crOnly(text);
  for (char& c : crOnly) {
    if (c == '\n') c = '\r';
  }
  if (ClientFiles::namesRealmHost(crOnly) != names) std::abort();
  if (!ClientFiles::namesRealmHost(std::string(text) + "\n" + ClientFiles::realmListText())) {
    std::abort();
  }
  return 0;
}
