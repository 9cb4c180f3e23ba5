// Pictures kept between starts: a kept picture comes back exactly, and one
// kept for anything else (another size, build or source file, or a damaged
// file) is not found, so the start makes it again.
#include "ui/saved_pictures.h"

#include <gtest/gtest.h>

#include <QQuickTextureFactory>
#include <fstream>
#include <functional>
#include <memory>

#include "core/files.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "ui/glow_images.h"
#include "ui/theme.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

const QString id = QStringLiteral("wisp/3abeaa/520/130/-12");

QImage sample() {
  QImage image(37, 21, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgba(x * 6, y * 12, 90, 200));
  return image;
}

struct Damage {
  const char* name;
  std::function<void(const fs::path& file)> apply;
};

class DamagedFile : public ::testing::TestWithParam<Damage> {};

void edit(const fs::path& file, const std::function<void(std::string&)>& change) {
  std::string bytes = Files::read(file).value();
  change(bytes);
  ASSERT_FALSE(Files::writeAtomic(file, bytes));
}

TEST_P(DamagedFile, IsNotFoundAndIsReplacedByTheNextKeep) {
  TempDir dir;
  const SavedPictures saved(dir / "pictures", {});
  saved.keep(id, {}, sample());
  const fs::path file = dir / "pictures" / "wisp-3abeaa-520-130--12.pixels";
  ASSERT_TRUE(fs::exists(file));
  GetParam().apply(file);
  EXPECT_TRUE(saved.find(id, {}).isNull());
  saved.keep(id, {}, sample());
  EXPECT_EQ(saved.find(id, {}), sample());
}

INSTANTIATE_TEST_SUITE_P(
    SavedPictures, DamagedFile,
    ::testing::Values(
        Damage{"Truncated", [](const fs::path& f) { fs::resize_file(f, fs::file_size(f) - 1); }},
        Damage{"Longer", [](const fs::path& f) { std::ofstream(f, std::ios::app) << 'x'; }},
        Damage{"Empty", [](const fs::path& f) { fs::resize_file(f, 0); }},
        Damage{"NotAPictureFile", [](const fs::path& f) { edit(f, [](auto& b) { b[0] = 'X'; }); }},
        // The width read as 2^31 + 37: its rows would run far past the file.
        Damage{"HugeWidth", [](const fs::path& f) { edit(f, [](auto& b) { b[11] = '\x80'; }); }},
        Damage{"OtherFormat",
               [](const fs::path& f) {
                 edit(f, [](auto& b) { b[20] = char(QImage::Format_RGB16); });
               }},
        Damage{"KeyOfAnotherPicture",
               [](const fs::path& f) { edit(f, [](auto& b) { b[b.find("520")] = '9'; }); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SavedPictures, KeepsEachPictureForItsSizeBuildAndSources) {
  TempDir dir;
  const fs::path source = dir / "tunnel.jpg";
  std::ofstream(source) << "first";
  const SavedPictures saved(dir / "pictures", {source});
  saved.keep(id, {360, 360}, sample());
  const QImage found = saved.find(id, {360, 360});
  EXPECT_EQ(found, sample());
  EXPECT_EQ(found.format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_TRUE(saved.find(id, {180, 180}).isNull()) << "another size";
  EXPECT_TRUE(saved.find(QStringLiteral("wisp/3abeaa/520/130/12"), {360, 360}).isNull());
  EXPECT_TRUE(
      SavedPictures(dir / "pictures", {source, dir / "launcher"}).find(id, {360, 360}).isNull())
      << "another build";

  // A changed source picture makes the saved ones stale.
  std::ofstream(source) << "second, longer";
  EXPECT_TRUE(SavedPictures(dir / "pictures", {source}).find(id, {360, 360}).isNull());

  // One backdrop is kept, for the latest window size.
  const SavedPictures now(dir / "pictures", {source});
  now.keep(QStringLiteral("backdrop/900/560"), {}, sample());
  now.keep(QStringLiteral("backdrop/1200/700"), {}, sample());
  EXPECT_TRUE(now.find(QStringLiteral("backdrop/900/560"), {}).isNull());
  EXPECT_EQ(now.find(QStringLiteral("backdrop/1200/700"), {}), sample());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "pictures"), fs::directory_iterator()), 2);

  // Ids that could leave the folder, and pictures it cannot hold, are not kept.
  now.keep(QStringLiteral("../escape"), {}, sample());
  now.keep(QStringLiteral("small"), {}, sample().convertToFormat(QImage::Format_RGB16));
  EXPECT_FALSE(fs::exists(dir / "escape.pixels"));
  EXPECT_TRUE(now.find(QStringLiteral("small"), {}).isNull());

  // Once a picture is kept anew, kinds this start does not keep go; files that
  // are not pictures stay.
  std::ofstream(dir / "pictures" / "notes.txt") << "x";
  const SavedPictures next(dir / "pictures", {source}, {id, QStringLiteral("logo")});
  next.keep(id, {360, 360}, sample());
  EXPECT_EQ(next.find(id, {360, 360}), sample());
  EXPECT_FALSE(fs::exists(dir / "pictures" / "backdrop.pixels"));
  EXPECT_TRUE(fs::exists(dir / "pictures" / "notes.txt"));
}

// A picture mapped from its file is read-only: drawing on it copies it, and
// neither the file nor another copy of the picture changes.
TEST(SavedPictures, ChangingAFoundPictureLeavesItsFileAlone) {
  TempDir dir;
  const SavedPictures saved(dir.path(), {});
  saved.keep(id, {}, sample());
  QImage a = saved.find(id, {});
  const QImage b = saved.find(id, {});
  a.fill(Qt::red);
  EXPECT_EQ(b, sample());
  EXPECT_EQ(saved.find(id, {}), sample());
}

// Not being able to keep a picture costs only the next start's time.
TEST(SavedPictures, AFolderThatCannotBeMadeKeepsNothing) {
  TempDir dir;
  std::ofstream(dir / "file") << "x";
  const SavedPictures saved(dir / "file" / "pictures", {});
  saved.keep(id, {}, sample());
  EXPECT_TRUE(saved.find(id, {}).isNull());
}

// Through the window's picture provider: a start keeps the pictures it
// started early, the next start delivers those same pixels from the files,
// and what it delivers is the file's.
TEST(SavedPictures, TheNextStartTakesThePicturesThisOneMade) {
  TempDir dir;
  const Theme theme(std::filesystem::path(QH_RESOURCES), false);
  const QString backdrop = QStringLiteral("backdrop/900/560");
  const QString logo = QStringLiteral("logo");
  auto start = [&] {
    auto pictures = std::make_unique<GlowImages>(theme.logo(), theme.tunnel());
    pictures->saveIn(dir / "pictures", {backdrop, logo});
    pictures->startEarly(backdrop);
    pictures->startEarly(logo, {420, 420});
    return pictures;
  };
  auto fetch = [](GlowImages& pictures, const QString& id, QSize size) {
    std::unique_ptr<QQuickImageResponse> response(pictures.requestImageResponse(id, size));
    bool done = false;
    QObject::connect(response.get(), &QQuickImageResponse::finished, [&done] { done = true; });
    EXPECT_TRUE(spinUntil([&] { return done; }));
    return std::unique_ptr<QQuickTextureFactory>(response->textureFactory())->image();
  };

  std::unique_ptr<GlowImages> first = start();
  const QImage madeBackdrop = fetch(*first, backdrop, {});
  const QImage madeLogo = fetch(*first, logo, {420, 420});
  ASSERT_FALSE(madeBackdrop.isNull());
  ASSERT_FALSE(madeLogo.isNull());
  // A picture the view asks for later (a window being resized) is not kept.
  fetch(*first, QStringLiteral("backdrop/800/500"), {});
  first->stop();
  const fs::path backdropFile = dir / "pictures" / "backdrop.pixels";
  ASSERT_TRUE(fs::exists(dir / "pictures" / "logo.pixels"));

  std::unique_ptr<GlowImages> second = start();
  EXPECT_EQ(fetch(*second, backdrop, {}), madeBackdrop);
  EXPECT_EQ(fetch(*second, logo, {420, 420}), madeLogo);
  second->stop();

  std::string bytes = Files::read(backdropFile).value();
  const size_t pixels = size_t(900) * 560 * 4;
  ASSERT_GT(bytes.size(), pixels);
  ASSERT_LT(bytes.size(), pixels + 4096) << "the backdrop kept is the one started early";
  for (size_t i = bytes.size() - pixels; i < bytes.size(); i += 4)
    bytes.replace(i, 4, "\x00\x00\xff\xff", 4);  // opaque red, little-endian
  ASSERT_FALSE(Files::writeAtomic(backdropFile, bytes));
  std::unique_ptr<GlowImages> third = start();
  EXPECT_EQ(fetch(*third, backdrop, {}).pixelColor(450, 280), QColor(Qt::red));
}

}  // namespace

}  // namespace qh
