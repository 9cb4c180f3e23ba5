#include "core/base64.h"

#include <algorithm>
#include <cstdint>

namespace qh::Base64 {
namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k) {
      group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (size_t k = 0; k < 4; ++k) {
      out += k <= n ? alphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return out;
}

std::optional<std::string> decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
    ++padding;
  }
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t group = 0;
  const size_t digits = text.size() - padding;
  for (size_t i = 0; i < digits; ++i) {
    const int v = valueOf(text[i]);
    if (v < 0) return std::nullopt;
    group = group << 6 | static_cast<uint32_t>(v);
    if (i % 4 == 3) {
      out += static_cast<char>(group >> 16);
      out += static_cast<char>(group >> 8);
      out += static_cast<char>(group);
      group = 0;
    }
  }
  if (padding == 0) return out;
  // The last group: 3 digits carry 2 bytes, 2 digits carry 1; the bits past
  // them must be zero.
  if (padding == 1) {
    if (group & 0x3) return std::nullopt;
    out += static_cast<char>(group >> 10);
    out += static_cast<char>(group >> 2);
  } else {
    if (group & 0xF) return std::nullopt;
    out += static_cast<char>(group >> 4);
  }
  return out;
}

}  // namespace qh::Base64
