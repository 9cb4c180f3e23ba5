// Checks that any bytes parse without a crash; that the entries, written out
// again one line each, parse to the same entries; that the addon names are
// unique, non-empty single components; and that a path the lexical check
// lets through can never leave the folder it is joined to.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "core/text.h"
#include "fuzz_support.h"
#include "update/install_tree.h"
#include "update/manifest.h"

namespace qh {

using fuzz::require;

}  // namespace qh

using namespace qh;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<ManifestEntry> entries = Manifest::parse(text);
  std::string again;
  for (const ManifestEntry& e : entries) {
    require(e.rel.find('\\') == std::string::npos);
    require(e.sha1.find('\t') == std::string::npos);
    again += e.sha1 + "\t" + std::to_string(e.size) + "\t" + e.rel + "\n";
    if (SafePath::lexicalProblem(e.rel) == SafePath::Problem::none) {
      require(e.rel.front() != '/');
      require(("/" + e.rel + "/").find("/../") == std::string::npos);
      require(e.rel.find('\0') == std::string::npos);
    }
  }
  require(Manifest::parse(again) == entries);

  std::set<std::string> seen;
  for (const std::string& name : Manifest::officialAddons(entries)) {
    require(!name.empty() && name.find('/') == std::string::npos);
    require(seen.insert(Text::lower(name)).second);
  }
  return 0;
}
