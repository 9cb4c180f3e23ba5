#include "selfupdate/zip_guard.h"

#include <sys/stat.h>

#include <fstream>
#include <set>
#include <string_view>
#include <vector>

namespace qh {

namespace fs = std::filesystem;

namespace ZipGuard {
namespace {

constexpr uint32_t endSignature = 0x06054b50;
constexpr uint32_t entrySignature = 0x02014b50;
constexpr size_t endSize = 22;
constexpr size_t entrySize = 46;
constexpr uint8_t unixHost = 3;

uint32_t le(std::string_view b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}

std::optional<std::string> readAt(std::ifstream& in, uint64_t offset, size_t size) {
  std::string bytes(size, '\0');
  in.seekg(static_cast<std::streamoff>(offset));
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return std::nullopt;
  return bytes;
}

// Names of the archive use "/"; a leading one, a drive letter or a ".."
// component would place the entry outside the folder it is unpacked into.
bool escapes(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) return true;
  if (name.size() > 1 && name[1] == ':') return true;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

std::string trimSlash(std::string name) {
  while (!name.empty() && name.back() == '/') name.pop_back();
  return name;
}

std::optional<std::string> readDirectory(const fs::path& zip, int64_t maxBytes, int64_t& total) {
  std::ifstream in(zip, std::ios::binary);
  std::error_code ec;
  const auto size = fs::file_size(zip, ec);
  if (!in || ec) return "cannot read " + zip.string();
  if (size < endSize) return "not a zip archive";
  // The end record sits in the last 22 bytes plus at most a 65535-byte comment.
  const uint64_t tail = std::min<uint64_t>(size, endSize + 65535);
  const auto end = readAt(in, size - tail, tail);
  if (!end) return "cannot read " + zip.string();
  size_t at = std::string::npos;
  for (size_t i = end->size() - endSize + 1; i-- > 0;) {
    if (le(*end, i, 4) == endSignature) {
      at = i;
      break;
    }
  }
  if (at == std::string::npos) return "not a zip archive";
  const uint32_t count = le(*end, at + 10, 2);
  const uint32_t dirSize = le(*end, at + 12, 4);
  const uint32_t dirOffset = le(*end, at + 16, 4);
  if (count == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) {
    return "zip64 archives are not accepted";
  }
  if (uint64_t{dirOffset} + dirSize > size) return "not a zip archive";
  const auto dir = readAt(in, dirOffset, dirSize);
  if (!dir) return "cannot read " + zip.string();

  std::vector<std::string> names;
  std::set<std::string> links;
  size_t pos = 0;
  for (uint32_t n = 0; n < count; ++n) {
    if (pos + entrySize > dir->size() || le(*dir, pos, 4) != entrySignature) {
      return "damaged zip directory";
    }
    const uint32_t unpacked = le(*dir, pos + 24, 4);
    const size_t nameLen = le(*dir, pos + 28, 2);
    const size_t extraLen = le(*dir, pos + 30, 2);
    const size_t commentLen = le(*dir, pos + 32, 2);
    if (pos + entrySize + nameLen > dir->size()) return "damaged zip directory";
    std::string name = dir->substr(pos + entrySize, nameLen);
    if (escapes(name)) return "entry escapes the archive folder: " + name;
    if (unpacked == 0xFFFFFFFF) return "zip64 archives are not accepted";
    total += unpacked;
    if (total > maxBytes)
      return "archive unpacks to more than " + std::to_string(maxBytes) + " bytes";
    const uint8_t host = static_cast<uint8_t>(le(*dir, pos + 5, 1));
    const uint32_t mode = le(*dir, pos + 38, 4) >> 16;
    if (host == unixHost && (mode & S_IFMT) == S_IFLNK) links.insert(trimSlash(name));
    names.push_back(trimSlash(std::move(name)));
    pos += entrySize + nameLen + extraLen + commentLen;
  }
  // An entry below a link entry would be written wherever the link points.
  for (const auto& name : names) {
    for (size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      if (links.count(name.substr(0, slash))) return "entry leads through a link: " + name;
    }
  }
  return std::nullopt;
}

}  // namespace

Inspection inspect(const fs::path& zip, int64_t maxBytes) {
  Inspection result;
  result.refused = readDirectory(zip, maxBytes, result.declaredBytes);
  return result;
}

std::optional<std::string> checkUnpacked(const fs::path& folder) {
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(folder, ec);
  if (ec) return "cannot read " + folder.string();
  fs::recursive_directory_iterator it(root, ec), endIt;
  for (; !ec && it != endIt; it.increment(ec)) {
    if (!it->is_symlink(ec)) continue;
    const fs::path target = fs::read_symlink(it->path(), ec);
    if (ec) break;
    const fs::path resolved =
        (target.is_absolute() ? target : it->path().parent_path() / target).lexically_normal();
    const auto rel = resolved.lexically_relative(root);
    if (rel.empty() || *rel.begin() == "..") return "link points outside: " + it->path().string();
  }
  if (ec) return "cannot read " + folder.string() + ": " + ec.message();
  return std::nullopt;
}

}  // namespace ZipGuard

}  // namespace qh
