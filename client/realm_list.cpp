#include "client/realm_list.h"

#include <optional>

#include "core/files.h"
#include "core/qh.h"
#include "core/text.h"

namespace qh::ClientFiles {
namespace {

constexpr std::string_view keyword = "set realmlist";

std::string_view trimBlanksAndQuotes(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\"");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\"") - first + 1);
}

}  // namespace

std::filesystem::path realmListPath(const Paths& paths) {
  return paths.installDir / "Data" / "enUS" / "realmlist.wtf";
}

std::string realmListText() {
  return std::string(keyword) + " " + QH::realmHost() + "\r\n";
}

bool namesRealmHost(std::string_view text) {
  for (const std::string& raw : Text::splitLines(text)) {
    const std::string line = Text::trimBlanks(raw);
    if (line.empty() || line.front() == '#') continue;
    // No space is required after the keyword: "set realmlisthost" names "host".
    if (!Text::lower(line).starts_with(keyword)) continue;
    if (!trimBlanksAndQuotes(std::string_view(line).substr(keyword.size())).empty()) return true;
  }
  return false;
}

void ensureRealmList(const Paths& paths) {
  const auto file = realmListPath(paths);
  if (!Files::resolvesInside(paths.installDir, file)) return;
  const std::optional<std::string> current = Files::readUtf8(file);
  if (current && namesRealmHost(*current)) return;
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  (void)Files::writeAtomic(file, realmListText());
}

}  // namespace qh::ClientFiles
