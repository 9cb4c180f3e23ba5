// Writes zip archives entry by entry, including the hostile ones a real zip
// tool refuses to make: escaping names, link entries, sizes that lie.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ZipEntry {
  std::string name;
  std::string data;
  // Unix type and permission bits; 0100755 for an executable file.
  uint32_t mode = 0100644;
  // The uncompressed size the headers claim; the real one when absent.
  std::optional<uint32_t> declaredSize;
  // Deflate-compressed payload standing for `realSize` bytes (data unused).
  std::string deflated;
  uint32_t realSize = 0;
  uint32_t crc = 0;
};

inline ZipEntry zipFile(std::string name, std::string data, uint32_t mode = 0100644) {
  return ZipEntry{std::move(name), std::move(data), mode, std::nullopt, {}, 0, 0};
}
inline ZipEntry zipFolder(std::string name) {
  return ZipEntry{std::move(name), {}, 040755, std::nullopt, {}, 0, 0};
}
inline ZipEntry zipLink(std::string name, std::string target) {
  return ZipEntry{std::move(name), std::move(target), 0120777, std::nullopt, {}, 0, 0};
}

// A one-byte file whose headers claim `declared` bytes.
inline ZipEntry zipClaiming(std::string name, uint32_t declared) {
  return ZipEntry{std::move(name), "x", 0100644, declared, {}, 0, 0};
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
  ZipEntry e{std::move(name), {}, 0100644, declared, {}, 0, 0};
  e.deflated.reserve(block.size() * megabytes + 8);
  for (uint32_t i = 0; i < megabytes; ++i) e.deflated += block;
  e.deflated += deflateOnce("", Z_FINISH);
  e.realSize = megabytes << 20;
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
    const bool deflated = !e.deflated.empty();
    const std::string& payload = deflated ? e.deflated : e.data;
    const uint32_t crc =
        deflated ? e.crc
                 : static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                               static_cast<uInt>(e.data.size())));
    const uint32_t size =
        e.declaredSize.value_or(deflated ? e.realSize : static_cast<uint32_t>(e.data.size()));
    const uint32_t offset = static_cast<uint32_t>(body.size());
    auto common = [&](std::string& s) {
      put(s, 20, 2);                // version needed
      put(s, 0, 2);                 // flags
      put(s, deflated ? 8 : 0, 2);  // method
      put(s, 0, 4);                 // time and date
      put(s, crc, 4);
      put(s, static_cast<uint32_t>(payload.size()), 4);
      put(s, size, 4);
      put(s, static_cast<uint32_t>(e.name.size()), 2);
      put(s, 0, 2);  // extra length
    };
    put(body, 0x04034b50, 4);
    common(body);
    body += e.name;
    body += payload;

    put(directory, 0x02014b50, 4);
    put(directory, 0x0314, 2);  // made by Unix, version 2.0
    common(directory);
    put(directory, 0, 2);  // comment length
    put(directory, 0, 2);  // disk
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
