#include "model/diagnostics_redaction.h"

#include <algorithm>

#include "core/text.h"

namespace qh {

namespace {

bool isAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A character that continues a file name: "/home/bob" does not end in "/home/bob.old".
bool continuesName(char c) {
  return isAlnum(c) || c == '.' || c == '-' || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

// `text` with each occurrence of `needle` in `searched` (the text itself or a
// copy of the same length, lower-cased) that `fits` accepts replaced by `with`.
template <typename Fits>
std::string replaceWhere(std::string_view text, std::string_view searched, std::string_view needle,
                         std::string_view with, Fits fits) {
  std::string out;
  out.reserve(text.size());
  size_t from = 0;
  for (size_t at = searched.find(needle); at != std::string_view::npos;
       at = searched.find(needle, at + 1)) {
    if (at < from || !fits(at, at + needle.size())) continue;
    out.append(text.substr(from, at - from));
    out.append(with);
    from = at + needle.size();
  }
  out.append(text.substr(from));
  return out;
}

}  // namespace

Redaction::Redaction(std::vector<std::string> homes, std::string user) : user_(Text::lower(user)) {
  for (std::string& home : homes) {
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    if (home.empty() || home == "/") continue;
    homes_.push_back(std::move(home));
  }
  // The longer spelling first, so a shorter one inside it leaves no tail behind.
  std::sort(homes_.begin(), homes_.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::string Redaction::apply(std::string_view text) const {
  std::string out(text);
  for (const std::string& home : homes_) {
    const std::string in = std::move(out);
    out = replaceWhere(in, in, home, "~", [&](size_t, size_t end) {
      return end == in.size() || !continuesName(in[end]);
    });
  }
  if (user_.empty()) return out;
  // Systems write the name in their own letter case (Wine's "C:\users\Bob"),
  // so it is found lower-cased; lower-casing keeps every offset.
  const std::string lowered = Text::lower(out);
  return replaceWhere(out, lowered, user_, "<user>", [&](size_t at, size_t end) {
    return (at == 0 || !isAlnum(lowered[at - 1])) &&
           (end == lowered.size() || !isAlnum(lowered[end]));
  });
}

}  // namespace qh
