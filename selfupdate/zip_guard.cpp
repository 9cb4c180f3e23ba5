#include "selfupdate/zip_guard.h"

#include <archive.h>
#include <archive_entry.h>

#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_error.h"
#include "selfupdate/self_update_error.h"

namespace qh {

namespace fs = std::filesystem;

namespace ZipGuard {
namespace {

[[noreturn]] void refuse(const std::string& why) {
  throw SelfUpdateError::unzipFailed("archive refused: " + why);
}

uint32_t le(std::string_view b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}

// The end record is read here, not by libarchive, for one thing: refusing
// zip64. libarchive follows zip64 records without saying it met one, and on
// the Mac the archive is unpacked by ditto, another reader: an archive whose
// plain and zip64 end records point at different directories could show one
// of them to this check and the other to the unpacker.
void refuseZip64(const fs::path& zip) {
  constexpr size_t endSize = 22;
  std::ifstream in(zip, std::ios::binary | std::ios::ate);
  if (!in) refuse("cannot read " + zip.string());
  const auto size = static_cast<uint64_t>(in.tellg());
  // The end record sits in the last 22 bytes plus at most a 65535-byte comment.
  const uint64_t tailSize = std::min<uint64_t>(size, endSize + 65535);
  std::string tail(tailSize, '\0');
  in.seekg(static_cast<std::streamoff>(size - tailSize));
  if (!in.read(tail.data(), static_cast<std::streamsize>(tailSize))) {
    refuse("cannot read " + zip.string());
  }
  if (tail.size() < endSize) refuse("not a zip archive");
  const size_t at = tail.rfind(std::string_view("PK\x05\x06", 4), tail.size() - endSize);
  if (at == std::string::npos) refuse("not a zip archive");
  const bool markers = le(tail, at + 8, 2) == 0xFFFF || le(tail, at + 10, 2) == 0xFFFF ||
                       le(tail, at + 12, 4) == 0xFFFFFFFF || le(tail, at + 16, 4) == 0xFFFFFFFF;
  const bool locator = at >= 20 && tail.compare(at - 20, 4, "PK\x06\x07") == 0;
  if (markers || locator) refuse("zip64 archives are not accepted");
}

// Names of the archive use "/"; a leading one, a drive letter or a ".."
// component would place the entry outside the folder it is unpacked into.
bool escapes(std::string_view name) {
  if (name.empty() || name.front() == '/') return true;
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

struct ArchiveFree {
  void operator()(archive* a) const { archive_read_free(a); }
};

}  // namespace

int64_t inspect(const fs::path& zip, int64_t maxBytes) {
  refuseZip64(zip);
  const std::unique_ptr<archive, ArchiveFree> reader(archive_read_new());
  // The central directory, as the unpackers read it; "__MACOSX/" entries
  // listed as the entries they are, not folded into others as metadata.
  archive_read_support_format_zip_seekable(reader.get());
  archive_read_set_options(reader.get(), "zip:!mac-ext");
  const auto damaged = [&] {
    const char* why = archive_error_string(reader.get());
    refuse(std::string("damaged zip directory (") + (why ? why : "unreadable") + ")");
  };
  if (archive_read_open_filename(reader.get(), zip.c_str(), 64 * 1024) != ARCHIVE_OK) damaged();

  int64_t total = 0;
  std::vector<std::string> names;
  std::set<std::string> links;
  archive_entry* entry = nullptr;
  int rc;
  // A warning is a name libarchive could not convert: it is still checked as stored.
  while ((rc = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK ||
         rc == ARCHIVE_WARN) {
    const char* path = archive_entry_pathname(entry);
    std::string name = path ? path : "";
    if (escapes(name)) refuse("entry escapes the archive folder: " + name);
    const int64_t size = archive_entry_size(entry);
    // Only zip64 fields can declare 4 GiB or more.
    if (size >= int64_t{0xFFFFFFFF}) refuse("zip64 archives are not accepted");
    total += size;
    if (total > maxBytes)
      refuse("archive unpacks to more than " + std::to_string(maxBytes) + " bytes");
    if (archive_entry_filetype(entry) == AE_IFLNK) links.insert(trimSlash(name));
    names.push_back(trimSlash(std::move(name)));
  }
  if (rc != ARCHIVE_EOF) damaged();
  // An entry below a link entry would be written wherever the link points.
  for (const auto& name : names) {
    for (size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      if (links.count(name.substr(0, slash))) refuse("entry leads through a link: " + name);
    }
  }
  return total;
}

void checkUnpacked(const fs::path& folder) {
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(folder, ec);
  if (ec) refuse(describe("cannot read", folder, ec));
  fs::recursive_directory_iterator it(root, ec), endIt;
  for (; !ec && it != endIt; it.increment(ec)) {
    if (!it->is_symlink(ec)) continue;
    const fs::path target = fs::read_symlink(it->path(), ec);
    if (ec) break;
    const fs::path resolved =
        (target.is_absolute() ? target : it->path().parent_path() / target).lexically_normal();
    const auto rel = resolved.lexically_relative(root);
    if (rel.empty() || *rel.begin() == "..") refuse("link points outside: " + it->path().string());
  }
  if (ec) refuse(describe("cannot read", folder, ec));
}

}  // namespace ZipGuard

}  // namespace qh
