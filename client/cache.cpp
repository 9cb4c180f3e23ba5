#include "client/cache.h"

#include <filesystem>

#include "core/text.h"

namespace fs = std::filesystem;

namespace ClientFiles {
namespace {

// Cache/WDB must not be a link that leads elsewhere: the deletion would then
// reach files the launcher does not own.
bool wdbFolderInside(const fs::path& installDir, const fs::path& wdb) {
  std::error_code ec;
  const std::string root = fs::weakly_canonical(installDir, ec).string();
  if (ec) return false;
  const std::string folder = fs::weakly_canonical(wdb, ec).string();
  if (ec) return false;
  return folder.size() > root.size() && folder.compare(0, root.size(), root) == 0 &&
         (root == "/" || folder[root.size()] == '/');
}

}  // namespace

int clearWdbCache(const Paths& paths) {
  const fs::path wdb = paths.installDir / "Cache" / "WDB";
  if (!wdbFolderInside(paths.installDir, wdb)) return 0;
  std::error_code ec;
  fs::recursive_directory_iterator it(wdb, ec);
  if (ec) return 0;
  int count = 0;
  for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    const fs::path item = it->path();
    if (text::lower(item.extension().string()) != ".wdb") continue;
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
