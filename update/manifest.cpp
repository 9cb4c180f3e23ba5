#include "update/manifest.h"

#include <charconv>
#include <optional>
#include <unordered_set>

#include "core/text.h"

namespace qh::Manifest {
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

std::vector<ManifestEntry> parse(std::string_view text) {
  // A manifest has a line per file of a client, so it is read in place:
  // lines and fields are views, and only the kept entries are copied.
  std::vector<ManifestEntry> entries;
  entries.reserve(text.size() / 64);
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  // The length of the newline character at `i`, 0 when there is none. NEL,
  // LS and PS begin with lead bytes no well-formed sequence carries inside it,
  // so a byte match is a code-point match.
  const auto newlineAt = [&](size_t i) -> size_t {
    const unsigned char c = byte(i);
    if (c >= 0x0A && c <= 0x0D) return 1;
    if (c == 0xC2 && i + 1 < text.size() && byte(i + 1) == 0x85) return 2;
    if (c == 0xE2 && i + 2 < text.size() && byte(i + 1) == 0x80 &&
        (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9)) {
      return 3;
    }
    return 0;
  };
  size_t start = 0;
  for (size_t i = 0; i <= text.size();) {
    const size_t newline = i < text.size() ? newlineAt(i) : 1;
    if (newline == 0) {
      ++i;
      continue;
    }
    std::string_view raw = text.substr(start, i - start);
    i += newline;
    start = i;
    // Blanks at the ends are trimmed here; anything past ASCII at an end
    // may be Unicode white space and takes the general path.
    while (!raw.empty() && (raw.front() == ' ' || raw.front() == '\t')) raw.remove_prefix(1);
    while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t')) raw.remove_suffix(1);
    std::string slow;
    if (!raw.empty() && (static_cast<unsigned char>(raw.front()) >= 0x80 ||
                         static_cast<unsigned char>(raw.back()) >= 0x80)) {
      slow = Text::trimWhitespace(raw);
      raw = slow;
    }
    const size_t tab1 = raw.find('\t');
    if (tab1 == std::string_view::npos) continue;
    const size_t tab2 = raw.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) continue;
    const auto size = parseSize(raw.substr(tab1 + 1, tab2 - tab1 - 1));
    if (!size) continue;
    ManifestEntry& e = entries.emplace_back();
    e.sha1 = raw.substr(0, tab1);
    e.size = *size;
    e.rel = raw.substr(tab2 + 1);
    for (char& c : e.rel) {
      if (c == '\\') c = '/';
    }
  }
  return entries;
}

std::vector<std::string> officialAddons(const std::vector<ManifestEntry>& entries) {
  static constexpr std::string_view prefix = "interface/addons/";
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  for (const ManifestEntry& e : entries) {
    if (e.rel.size() <= prefix.size() || Text::lower(e.rel.substr(0, prefix.size())) != prefix) {
      continue;
    }
    const std::string rest = e.rel.substr(prefix.size());
    const size_t slash = rest.find('/');
    if (slash == std::string::npos || slash == 0) continue;
    std::string name = rest.substr(0, slash);
    if (seen.insert(Text::lower(name)).second) names.push_back(std::move(name));
  }
  return names;
}

}  // namespace qh::Manifest
