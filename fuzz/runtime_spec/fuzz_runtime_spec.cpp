// Checks that any runtime description parses without a crash; that an
// accepted one has its required parts, an absolute URL and only paths that
// stay inside the runtime's folder; and that the table it came from, written
// out again, gives the same description.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "compat/runtime_spec.h"
#include "fuzz_support.h"

namespace qh {

using fuzz::require;

namespace {

bool staysInside(const std::string& rel) {
  return !rel.empty() && rel.front() != '/' &&
         ("/" + rel + "/").find("/../") == std::string::npos && rel.find('\0') == std::string::npos;
}

}  // namespace

}  // namespace qh

using namespace qh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto spec = RuntimeSpec::parse(text, "https://dist.example.net/mac");
  if (!spec) return 0;
  require(!spec->id.empty() && !spec->wineBin.empty() && !spec->url.empty());
  require(spec->id != "." && spec->id != ".." && spec->id.find('/') == std::string::npos);
  require(staysInside(spec->wineBin));
  if (spec->libDir) require(staysInside(*spec->libDir));
  if (spec->dxvkDll) require(staysInside(*spec->dxvkDll));

  std::string again = "wine_id=" + spec->id + "\nwine_url=" + spec->url +
                      "\nwine_sha256=" + spec->sha256 + "\nwine_bin=" + spec->wineBin + "\n";
  if (spec->libDir) again += "wine_libs=" + *spec->libDir + "\n";
  if (spec->dxvkDll) again += "dxvk_dll=" + *spec->dxvkDll + "\n";
  if (spec->size >= 0) again += "wine_size=" + std::to_string(spec->size) + "\n";
  const auto reparsed = RuntimeSpec::parse(again, "https://dist.example.net/mac");
  require(reparsed.has_value());
  RuntimeSpec expected = *spec;
  if (expected.size < 0) expected.size = -1;
  require(*reparsed == expected);
  return 0;
}
