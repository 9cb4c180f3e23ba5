#include "ui/saved_pictures.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "core/files.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

constexpr char magic[8] = {'Q', 'H', 'P', 'I', 'X', '0', '1', '\n'};
// Pixels start on a cache-line boundary, so rows mapped from the file are as
// aligned as any QImage's.
constexpr size_t pixelAlign = 64;
constexpr uint32_t maxSide = 8192;
constexpr size_t maxKey = 4096;

struct Header {
  char magic[8];
  uint32_t width;
  uint32_t height;
  uint32_t bytesPerLine;
  uint32_t format;
  uint32_t keyLength;
};

size_t pixelOffset(size_t keyLength) {
  return (sizeof(Header) + keyLength + pixelAlign - 1) / pixelAlign * pixelAlign;
}

bool supported(QImage::Format format) {
  return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
         format == QImage::Format_ARGB32_Premultiplied;
}

struct Mapping {
  void* base;
  size_t length;
};

void unmap(void* info) {
  auto* mapping = static_cast<Mapping*>(info);
  munmap(mapping->base, mapping->length);
  delete mapping;
}

// "size:nanoseconds" of `file`'s last change, or "absent".
std::string fileStamp(const fs::path& file) {
  struct stat st {};
  if (file.empty() || stat(file.c_str(), &st) != 0) return "absent";
#ifdef __APPLE__
  const auto& changed = st.st_mtimespec;
#else
  const auto& changed = st.st_mtim;
#endif
  return std::to_string(st.st_size) + ':' + std::to_string(changed.tv_sec) + '.' +
         std::to_string(changed.tv_nsec);
}

}  // namespace

SavedPictures::SavedPictures(fs::path folder, const std::vector<fs::path>& inputs,
                             const QStringList& kept)
    : folder_(std::move(folder)) {
  for (const fs::path& input : inputs) stamp_ += input.string() + '=' + fileStamp(input) + '\n';
  for (const QString& id : kept) kept_.push_back(fileFor(id));
}

fs::path SavedPictures::fileFor(const QString& id) const {
  // A backdrop is remade for each window size; only the latest is kept.
  const QString name = id.startsWith(QLatin1String("backdrop/")) ? QStringLiteral("backdrop")
                                                                 : QString(id).replace('/', '-');
  for (const QChar c : name) {
    if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != '-') return {};
  }
  if (name.isEmpty() || folder_.empty()) return {};
  return folder_ / (name.toStdString() + ".pixels");
}

std::string SavedPictures::keyOf(const QString& id, QSize requested) const {
  return id.toStdString() + '@' + std::to_string(requested.width()) + 'x' +
         std::to_string(requested.height()) + '\n' + stamp_;
}

QImage SavedPictures::find(const QString& id, QSize requested) const {
  const fs::path file = fileFor(id);
  if (file.empty()) return {};
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const std::string key = keyOf(id, requested);
  Header h{};
  struct stat st {};
  std::string stored(key.size(), '\0');
  const bool matches =
      fstat(fd, &st) == 0 && pread(fd, &h, sizeof h, 0) == ssize_t(sizeof h) &&
      std::memcmp(h.magic, magic, sizeof magic) == 0 && h.keyLength == key.size() &&
      pread(fd, stored.data(), stored.size(), sizeof h) == ssize_t(stored.size()) &&
      stored == key && h.width > 0 && h.width <= maxSide && h.height > 0 && h.height <= maxSide &&
      h.bytesPerLine == h.width * 4 && supported(QImage::Format(h.format)) &&
      uint64_t(st.st_size) == pixelOffset(key.size()) + uint64_t(h.bytesPerLine) * h.height;
  if (!matches) {
    close(fd);
    return {};
  }
  // Mapped rather than read: fresh memory is what costs here. The launcher
  // only ever replaces these files whole, so a mapped one never shrinks.
  int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
  // The pages are read in here, on a picture thread, not by the first frame.
  flags |= MAP_POPULATE;
#endif
  void* base = mmap(nullptr, size_t(st.st_size), PROT_READ, flags, fd, 0);
  close(fd);
  if (base == MAP_FAILED) return {};
  auto* mapping = new Mapping{base, size_t(st.st_size)};
  // Read-only data: anything that would write to the picture copies it first.
  return QImage(static_cast<const uchar*>(base) + pixelOffset(key.size()), int(h.width),
                int(h.height), qsizetype(h.bytesPerLine), QImage::Format(h.format), unmap, mapping);
}

void SavedPictures::keep(const QString& id, QSize requested, const QImage& image) const {
  const fs::path file = fileFor(id);
  const std::string key = keyOf(id, requested);
  if (file.empty() || image.isNull() || !supported(image.format()) || key.size() > maxKey ||
      image.width() > int(maxSide) || image.height() > int(maxSide) ||
      image.bytesPerLine() != image.width() * 4)
    return;
  Header h{{},
           uint32_t(image.width()),
           uint32_t(image.height()),
           uint32_t(image.bytesPerLine()),
           uint32_t(image.format()),
           uint32_t(key.size())};
  std::memcpy(h.magic, magic, sizeof magic);
  std::string bytes(pixelOffset(key.size()), '\0');
  std::memcpy(bytes.data(), &h, sizeof h);
  std::memcpy(bytes.data() + sizeof h, key.data(), key.size());
  bytes.append(reinterpret_cast<const char*>(image.constBits()), size_t(image.sizeInBytes()));
  std::error_code ignored;
  fs::create_directories(folder_, ignored);
  if (!Files::writeAtomic(file, bytes) && !kept_.empty()) dropOthers();
}

void SavedPictures::dropOthers() const {
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& file = it->path();
    if (file.extension() == ".pixels" &&
        std::find(kept_.begin(), kept_.end(), file) == kept_.end()) {
      std::error_code ignored;
      fs::remove(file, ignored);
    }
  }
}

}  // namespace qh
