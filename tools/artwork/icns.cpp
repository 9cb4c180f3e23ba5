#include "icns.h"

#include <QBuffer>
#include <QtEndian>

namespace qh::Icns {

namespace {

void appendLength(QByteArray& out, quint32 length) {
  char bytes[4];
  qToBigEndian(length, bytes);
  out.append(bytes, 4);
}

}  // namespace

const std::vector<Entry>& entries() {
  // The PNG-holding types of the format: icp4/icp5 16 and 32, ic07 to ic10
  // 128 to 1024, ic11 to ic14 the 2x versions of 16 to 256 points.
  static const std::vector<Entry> all = {
      {"icp4", 16},  {"ic11", 32},  {"icp5", 32},  {"ic12", 64},  {"ic07", 128},
      {"ic13", 256}, {"ic08", 256}, {"ic14", 512}, {"ic09", 512}, {"ic10", 1024},
  };
  return all;
}

QByteArray pack(const QImage& square) {
  QByteArray body;
  for (const Entry& e : entries()) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    const QImage scaled =
        square.scaled(e.pixels, e.pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!scaled.save(&buffer, "PNG")) return {};
    body.append(e.type, 4);
    appendLength(body, static_cast<quint32>(png.size() + 8));
    body.append(png);
  }
  QByteArray file("icns");
  appendLength(file, static_cast<quint32>(body.size() + 8));
  return file + body;
}

}  // namespace qh::Icns
