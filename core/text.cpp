#include "core/text.h"

#include <charconv>
#include <cstdint>

namespace qh::Text {
namespace {

// Decodes one code point at `i`; returns its length, or 0 when ill-formed.
size_t decode(std::string_view s, size_t i, char32_t& cp) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[i + k]); };
  const uint8_t c = b(0);
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  size_t len;
  char32_t min;
  if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

bool isNewline(char32_t c) {
  return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isHorizontal(char32_t c) {
  return c == ' ' || c == '\t' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

bool isWhitespace(char32_t c) {
  return isHorizontal(c) || isNewline(c);
}

// Walks code points from the front, then finds the end of the last one that
// is not `white`; ill-formed bytes count as content.
template <typename Pred>
std::string trimCodePoints(std::string_view s, Pred white) {
  size_t begin = s.size(), end = 0;
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    size_t n = decode(s, i, cp);
    if (n == 0) n = 1, cp = 0xFFFD;
    if (!white(cp)) {
      if (begin == s.size()) begin = i;
      end = i + n;
    }
    i += n;
  }
  return begin >= end ? std::string() : std::string(s.substr(begin, end - begin));
}

}  // namespace

bool isValidUtf8(std::string_view s) {
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    const size_t n = decode(s, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string toUtf8Lossy(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    const size_t n = decode(s, i, cp);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::vector<std::string> splitLines(std::string_view s) {
  std::vector<std::string> pieces;
  size_t start = 0;
  char32_t cp;
  for (size_t i = 0; i < s.size();) {
    size_t n = decode(s, i, cp);
    if (n == 0) n = 1, cp = 0xFFFD;
    if (isNewline(cp)) {
      if (i > start) pieces.emplace_back(s.substr(start, i - start));
      start = i + n;
    }
    i += n;
  }
  if (s.size() > start) pieces.emplace_back(s.substr(start));
  return pieces;
}

std::string trimBlanks(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return std::string(s.substr(first, last - first + 1));
}

std::string trimWhitespace(std::string_view s) {
  return trimCodePoints(s, isWhitespace);
}

std::string trimHorizontal(std::string_view s) {
  return trimCodePoints(s, isHorizontal);
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string fixed(double value, int decimals) {
  // to_chars never reads the locale; 400 characters hold any double.
  char out[400];
  const auto [end, ec] =
      std::to_chars(out, out + sizeof out, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(out, end) : std::string();
}

std::string utcTime(std::time_t when, const char* format) {
  std::tm utc{};
  gmtime_r(&when, &utc);
  char out[64];
  return std::string(out, std::strftime(out, sizeof out, format, &utc));
}

}  // namespace qh::Text
