// The macOS application icon file (.icns): one picture drawn at every size
// Finder and the Dock ask for, each stored as PNG under its type code.
// Thread-safety: none needed; pure functions.
#pragma once

#include <QByteArray>
#include <QImage>
#include <vector>

namespace qh::Icns {

struct Entry {
  const char* type;  // the four-letter code
  int pixels;        // width and height
};

// The entries pack() writes, in file order: 16 to 1024 pixels, each
// point size at 1x and 2x.
const std::vector<Entry>& entries();

// The icon file of `square` (scaled smoothly to each entry's size): "icns",
// the file's length, then per entry its code, its length with its 8-byte
// head, and the PNG. Lengths are big-endian. Empty when a size cannot be
// encoded.
QByteArray pack(const QImage& square);

}  // namespace qh::Icns
