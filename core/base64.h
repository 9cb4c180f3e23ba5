// Base64 with the standard alphabet and "=" padding, as PEM files and
// signature lines carry it.
// Thread-safety: pure functions, any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qh::Base64 {

std::string encode(std::string_view bytes);

// The bytes `text` spells, or nullopt unless it is canonical base64: a
// multiple of four characters, padding only at the end, no white space, and
// no stray bits in the last character. One byte string has one spelling.
std::optional<std::string> decode(std::string_view text);

}  // namespace qh::Base64
