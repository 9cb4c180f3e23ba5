// The bundle's icon file, read back as macOS reads it: the file's length,
// then each entry's code, length and PNG of the size its code stands for.
#include "icns.h"

#include <gtest/gtest.h>

#include <QtEndian>

namespace qh {

namespace {

quint32 lengthAt(const QByteArray& bytes, qsizetype at) {
  return qFromBigEndian<quint32>(bytes.constData() + at);
}

TEST(Icns, EveryEntryHoldsAPngOfItsSizeUnderItsCode) {
  QImage square(300, 300, QImage::Format_ARGB32);
  square.fill(QColor(200, 120, 40));
  const QByteArray file = Icns::pack(square);
  ASSERT_GE(file.size(), 8);
  EXPECT_EQ(file.left(4), "icns");
  EXPECT_EQ(lengthAt(file, 4), static_cast<quint32>(file.size()));

  // The format's codes and the pixels each stands for.
  const std::vector<std::pair<std::string, int>> expected = {
      {"icp4", 16},  {"ic11", 32},  {"icp5", 32},  {"ic12", 64},  {"ic07", 128},
      {"ic13", 256}, {"ic08", 256}, {"ic14", 512}, {"ic09", 512}, {"ic10", 1024}};
  std::vector<std::pair<std::string, int>> found;
  qsizetype at = 8;
  while (at + 8 <= file.size()) {
    const std::string code = file.mid(at, 4).toStdString();
    const quint32 length = lengthAt(file, at + 4);
    ASSERT_GT(length, 8u) << code;
    ASSERT_LE(at + static_cast<qsizetype>(length), file.size()) << code;
    const QImage image = QImage::fromData(file.mid(at + 8, length - 8), "PNG");
    ASSERT_FALSE(image.isNull()) << code;
    EXPECT_EQ(image.width(), image.height()) << code;
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(200, 120, 40))
        << code;
    found.emplace_back(code, image.width());
    at += length;
  }
  EXPECT_EQ(at, file.size()) << "nothing after the last entry";
  EXPECT_EQ(found, expected);
}

}  // namespace

}  // namespace qh
