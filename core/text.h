// Small text helpers shared by every parser. All texts are UTF-8 bytes.
// Thread-safety: pure functions, any thread.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace qh::Text {

// True when `s` is well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view s);

// Decodes leniently: every ill-formed sequence becomes U+FFFD.
std::string toUtf8Lossy(std::string_view s);

// Splits at every newline character (LF, VT, FF, CR, CR LF, NEL, LS, PS) and
// drops empty pieces.
std::vector<std::string> splitLines(std::string_view s);

// Trims spaces and tabs from both ends.
std::string trimBlanks(std::string_view s);

// Trims white space and newline characters (ASCII and the Unicode line and
// paragraph separators, NEL and NBSP) from both ends.
std::string trimWhitespace(std::string_view s);

// Trims tabs and the Unicode space separators (space, NBSP, the U+2000 range,
// ideographic space and the like) from both ends; newlines stay.
std::string trimHorizontal(std::string_view s);

// ASCII lower-casing; client names and keys compare this way.
std::string lower(std::string_view s);

// `value` with `decimals` digits after a decimal point, rounded as printf's
// "%.*f" rounds, whatever the locale: the texts the launcher shows and logs
// read the same in every language.
std::string fixed(double value, int decimals);

// `when` in UTC, written as strftime writes `format`; at most 63 bytes.
std::string utcTime(std::time_t when, const char* format);

}  // namespace qh::Text
