// Writes zip archives entry by entry, including the hostile ones a real zip
// tool refuses to make: escaping names, link entries, sizes that lie.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qh {

struct ZipEntry {
  std::string name;
  std::string payload;      // the bytes as stored
  uint32_t mode = 0100644;  // Unix type and permission bits
  uint32_t size = 0;        // the uncompressed size the headers claim
  uint32_t crc = 0;
  uint16_t method = 0;  // 0 stored, 8 deflated
};

inline ZipEntry zipFile(std::string name, std::string data, uint32_t mode = 0100644) {
  const auto size = static_cast<uint32_t>(data.size());
  const auto crc = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  return ZipEntry{std::move(name), std::move(data), mode, size, crc};
}
inline ZipEntry zipFolder(std::string name) {
  return ZipEntry{std::move(name), {}, 040755};
}
inline ZipEntry zipLink(std::string name, std::string target) {
  return zipFile(std::move(name), std::move(target), 0120777);
}
// A one-byte file whose headers claim `declared` bytes.
inline ZipEntry zipClaiming(std::string name, uint32_t declared) {
  ZipEntry e = zipFile(std::move(name), "x");
  e.size = declared;
  return e;
}

// `megabytes` MiB of zeros as one raw deflate stream, built from one
// compressed MiB repeated, so a multi-gigabyte entry costs milliseconds.
inline ZipEntry zipZeros(std::string name, uint32_t megabytes, std::optional<uint32_t> declared) {
  const std::string zeros(1 << 20, '\0');
  auto deflateOnce = [&](const std::string& in, int flush) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(in.size() / 2 + 1024, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, flush);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
  };
  const std::string block = deflateOnce(zeros, Z_FULL_FLUSH);
  ZipEntry e{std::move(name), {}, 0100644, declared.value_or(megabytes << 20), 0, 8};
  e.payload.reserve(block.size() * megabytes + 8);
  for (uint32_t i = 0; i < megabytes; ++i) e.payload += block;
  e.payload += deflateOnce("", Z_FINISH);
  const uLong mib = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), 1 << 20);
  uLong crc = 0;
  for (uint32_t i = 0; i < megabytes; ++i) crc = crc32_combine(crc, mib, 1 << 20);
  e.crc = static_cast<uint32_t>(crc);
  return e;
}

inline std::string makeZip(const std::vector<ZipEntry>& entries) {
  auto put = [](std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  std::string body, directory;
  for (const auto& e : entries) {
    const uint32_t offset = static_cast<uint32_t>(body.size());
    auto common = [&](std::string& s) {
      put(s, 20, 2);  // version needed
      put(s, 0, 2);   // flags
      put(s, e.method, 2);
      put(s, 0, 4);  // time and date
      put(s, e.crc, 4);
      put(s, static_cast<uint32_t>(e.payload.size()), 4);
      put(s, e.size, 4);
      put(s, static_cast<uint32_t>(e.name.size()), 2);
      put(s, 0, 2);  // extra length
    };
    put(body, 0x04034b50, 4);
    common(body);
    body += e.name + e.payload;

    put(directory, 0x02014b50, 4);
    put(directory, 0x0314, 2);  // made by Unix, version 2.0
    common(directory);
    put(directory, 0, 4);  // comment length, disk
    put(directory, 0, 2);  // internal attributes
    put(directory, e.mode << 16, 4);
    put(directory, offset, 4);
    directory += e.name;
  }
  std::string zip = body + directory;
  put(zip, 0x06054b50, 4);
  put(zip, 0, 4);
  put(zip, static_cast<uint32_t>(entries.size()), 2);
  put(zip, static_cast<uint32_t>(entries.size()), 2);
  put(zip, static_cast<uint32_t>(directory.size()), 4);
  put(zip, static_cast<uint32_t>(body.size()), 4);
  put(zip, 0, 2);
  return zip;
}

}  // namespace qh
