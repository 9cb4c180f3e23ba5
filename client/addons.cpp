#include "client/addons.h"

#include <set>
#include <utility>

#include "core/files.h"
#include "core/text.h"

namespace qh {

namespace fs = std::filesystem;

namespace ClientFiles {
namespace {

constexpr const char* listName = "AddOns.txt";

// The entries directly in `folder`, listed before anything is changed in it;
// empty when it cannot be listed.
std::vector<fs::directory_entry> entriesOf(const fs::path& folder) {
  std::vector<fs::directory_entry> entries;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) entries.push_back(*it);
  return entries;
}

int deleteUnofficial(const fs::path& addonsDir, const std::set<std::string>& official) {
  int deleted = 0;
  for (const fs::directory_entry& entry : entriesOf(addonsDir)) {
    // The entry's own type: a link to a folder is not a folder here.
    std::error_code ec;
    const fs::file_status own = entry.symlink_status(ec);
    if (ec || !fs::is_directory(own)) continue;
    const std::string name = Text::lower(entry.path().filename().string());
    if (official.contains(name) || name.starts_with("blizzard_")) continue;
    // remove_all unlinks links it meets inside without following them.
    fs::remove_all(entry.path(), ec);
    if (!ec) ++deleted;
  }
  return deleted;
}

// Every "AddOns.txt" below `top`, at any depth, hidden folders included. Links
// are not followed and a folder that cannot be listed is passed over, so one
// bad folder never ends the walk.
std::vector<fs::path> listsBelow(const fs::path& top) {
  std::vector<fs::path> found;
  std::vector<fs::path> pending{top};
  while (!pending.empty()) {
    const fs::path folder = std::move(pending.back());
    pending.pop_back();
    for (const fs::directory_entry& entry : entriesOf(folder)) {
      if (entry.path().filename() == listName) found.push_back(entry.path());
      std::error_code ec;
      if (fs::is_directory(entry.symlink_status(ec))) pending.push_back(entry.path());
    }
  }
  return found;
}

void rewriteAddonLists(const fs::path& installDir, const fs::path& accountsDir,
                       const std::string& list) {
  for (const fs::directory_entry& entry : entriesOf(accountsDir)) {
    const fs::path account = entry.path();
    if (Text::lower(account.filename().string()) == "savedvariables") continue;
    std::error_code ec;
    if (!fs::is_directory(account, ec)) continue;  // follows links
    // A link inside the client is followed; nothing is written through one leading out.
    if (!Files::resolvesInside(installDir, account)) continue;
    const fs::path top = account / listName;
    (void)Files::writeAtomic(top, list);
    // Deeper lists (realm, character) are replaced only where they exist.
    for (const fs::path& deeper : listsBelow(account)) {
      if (deeper != top) (void)Files::writeAtomic(deeper, list);
    }
  }
}

}  // namespace

std::string addonListText(const std::vector<std::string>& official) {
  std::string text;
  for (const std::string& name : official) text += name + ": enabled\r\n";
  return text;
}

int reconcileAddons(const Paths& paths, const std::vector<std::string>& official) {
  if (official.empty()) return 0;
  std::set<std::string> lowered;
  for (const std::string& name : official) lowered.insert(Text::lower(name));
  const fs::path addonsDir = paths.installDir / "Interface" / "AddOns";
  // The AddOns folder may be a link to one the player shares between clients:
  // nothing is deleted there.
  const int deleted =
      Files::resolvesBelow(paths.installDir, addonsDir) ? deleteUnofficial(addonsDir, lowered) : 0;
  rewriteAddonLists(paths.installDir, paths.installDir / "WTF" / "Account",
                    addonListText(official));
  return deleted;
}

}  // namespace ClientFiles

}  // namespace qh
