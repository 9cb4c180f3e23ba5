#include "client/cache.h"

#include <filesystem>

#include "core/files.h"
#include "core/text.h"

namespace qh {

namespace fs = std::filesystem;

namespace ClientFiles {

int clearWdbCache(const Paths& paths) {
  const fs::path wdb = paths.installDir / "Cache" / "WDB";
  // A link leading elsewhere would take the deletion to files the launcher
  // does not own.
  if (!Files::resolvesBelow(paths.installDir, wdb)) return 0;
  std::error_code ec;
  fs::recursive_directory_iterator it(wdb, ec);
  if (ec) return 0;
  int count = 0;
  for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    const fs::path item = it->path();
    if (Text::lower(item.extension().string()) != ".wdb") continue;
    // A folder named *.wdb goes too; never descend into what is being removed.
    it.disable_recursion_pending();
    std::error_code rm;
    if (fs::remove_all(item, rm) > 0 && !rm) ++count;
  }
  return count;
}

void clearCache(const Paths& paths) {
  std::error_code ec;
  fs::remove_all(paths.installDir / "Cache", ec);
}

}  // namespace ClientFiles

}  // namespace qh
