#include "update/manifest.h"

#include <charconv>
#include <unordered_set>

#include "core/text.h"

namespace ClientFiles {
namespace {

// A decimal with an optional sign and nothing else, in the signed 64-bit range.
std::optional<int64_t> parseSize(std::string_view s) {
  const bool plus = !s.empty() && s.front() == '+';
  if (plus) s.remove_prefix(1);
  if (s.empty() || (plus && s.front() == '-')) return std::nullopt;
  // from_chars takes an optional "-" and digits, nothing else.
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

}  // namespace

std::vector<ManifestEntry> parseManifest(std::string_view text) {
  std::vector<ManifestEntry> entries;
  for (const std::string& raw : text::splitLines(text)) {
    const std::string line = text::trimWhitespace(raw);
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string::npos) continue;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) continue;
    const auto size = parseSize(std::string_view(line).substr(tab1 + 1, tab2 - tab1 - 1));
    if (!size) continue;
    ManifestEntry e;
    e.sha1 = line.substr(0, tab1);
    e.size = *size;
    e.rel = line.substr(tab2 + 1);
    for (char& c : e.rel) {
      if (c == '\\') c = '/';
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

std::vector<std::string> officialAddons(const std::vector<ManifestEntry>& entries) {
  static constexpr std::string_view prefix = "interface/addons/";
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const ManifestEntry& e : entries) {
    if (e.rel.size() <= prefix.size() || text::lower(e.rel.substr(0, prefix.size())) != prefix) {
      continue;
    }
    const std::string rest = e.rel.substr(prefix.size());
    const size_t slash = rest.find('/');
    if (slash == std::string::npos || slash == 0) continue;
    std::string name = rest.substr(0, slash);
    if (seen.insert(text::lower(name)).second) names.push_back(std::move(name));
  }
  return names;
}

std::optional<int64_t> fileSize(const std::filesystem::path& file) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  if (ec) return std::nullopt;
  return static_cast<int64_t>(size);
}

}  // namespace ClientFiles
