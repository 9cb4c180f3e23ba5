#include "model/diagnostics_zip.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>

#include "core/error.h"

namespace qh {

namespace {

la_ssize_t append(struct archive*, void* to, const void* buffer, size_t length) {
  static_cast<std::string*>(to)->append(static_cast<const char*>(buffer), length);
  return static_cast<la_ssize_t>(length);
}

Error failure(struct archive* a, const std::string& what) {
  const char* why = archive_error_string(a);
  return Error("Couldn't make the zip: " + what + (why ? std::string(": ") + why : std::string()));
}

}  // namespace

ZipArchive::ZipArchive() : archive_(archive_write_new()) {
  if (!archive_) throw Error("Couldn't make the zip: out of memory");
  // The whole archive in one piece: no block padding after the last entry.
  if (archive_write_set_format_zip(archive_) != ARCHIVE_OK ||
      archive_write_zip_set_compression_deflate(archive_) != ARCHIVE_OK ||
      archive_write_set_bytes_in_last_block(archive_, 1) != ARCHIVE_OK ||
      archive_write_open(archive_, &bytes_, nullptr, append, nullptr) != ARCHIVE_OK) {
    const Error error = failure(archive_, "start");
    archive_write_free(archive_);
    throw error;
  }
}

ZipArchive::~ZipArchive() {
  // archive_write_free closes an archive still open; its bytes are dropped with us.
  archive_write_free(archive_);
}

void ZipArchive::add(const std::string& name, std::string_view bytes, std::time_t when) {
  const std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                            archive_entry_free);
  archive_entry_set_pathname_utf8(entry.get(), name.c_str());
  archive_entry_set_filetype(entry.get(), AE_IFREG);
  archive_entry_set_perm(entry.get(), 0644);
  archive_entry_set_size(entry.get(), static_cast<la_int64_t>(bytes.size()));
  archive_entry_set_mtime(entry.get(), when, 0);
  if (archive_write_header(archive_, entry.get()) != ARCHIVE_OK) throw failure(archive_, name);
  if (!bytes.empty() && archive_write_data(archive_, bytes.data(), bytes.size()) !=
                            static_cast<la_ssize_t>(bytes.size()))
    throw failure(archive_, name);
  if (archive_write_finish_entry(archive_) != ARCHIVE_OK) throw failure(archive_, name);
}

std::string ZipArchive::finish() {
  if (!finished_) {
    finished_ = true;
    if (archive_write_close(archive_) != ARCHIVE_OK) throw failure(archive_, "finish");
  }
  return std::move(bytes_);
}

}  // namespace qh
