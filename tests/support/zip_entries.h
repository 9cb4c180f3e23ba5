// Reads a zip back with libarchive: its entries in order, each with its bytes.
#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace qh {

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

// Every entry of the zip `file`; empty when it is not a readable zip.
inline ZipEntries zipEntries(const std::filesystem::path& file) {
  ZipEntries entries;
  archive* a = archive_read_new();
  archive_read_support_format_zip(a);
  if (archive_read_open_filename(a, file.c_str(), 65536) != ARCHIVE_OK) {
    archive_read_free(a);
    return entries;
  }
  archive_entry* entry = nullptr;
  while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
    std::string bytes;
    char buffer[65536];
    for (la_ssize_t n; (n = archive_read_data(a, buffer, sizeof(buffer))) > 0;)
      bytes.append(buffer, static_cast<size_t>(n));
    entries.emplace_back(archive_entry_pathname(entry), std::move(bytes));
  }
  archive_read_free(a);
  return entries;
}

// The names alone, in order.
inline std::vector<std::string> zipNames(const ZipEntries& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.first);
  return names;
}

// The bytes of the entry `name`; "" when there is none.
inline std::string zipEntry(const ZipEntries& entries, const std::string& name) {
  for (const auto& e : entries)
    if (e.first == name) return e.second;
  return {};
}

}  // namespace qh
