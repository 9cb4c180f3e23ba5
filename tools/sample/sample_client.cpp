#include "tools/sample/sample_client.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace qh {

namespace fs = std::filesystem;

namespace SampleClient {

void writeFile(const fs::path& file, int64_t size, uint64_t seed) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + file.string());
  uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  std::vector<uint64_t> buf(1 << 17);
  for (int64_t left = size; left > 0;) {
    for (uint64_t& w : buf) {
      x ^= x << 13, x ^= x >> 7, x ^= x << 17;
      w = x;
    }
    const auto n = std::min<int64_t>(left, static_cast<int64_t>(buf.size() * sizeof(uint64_t)));
    out.write(reinterpret_cast<const char*>(buf.data()), n);
    left -= n;
  }
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::vector<std::string> generate(const fs::path& dir, int64_t totalBytes, int fileCount,
                                  uint64_t seed) {
  fileCount = std::max(fileCount, 6);
  std::vector<std::string> rels = {"Wow.exe",
                                   "Data/common.MPQ",
                                   "Data/enUS/locale-enUS.MPQ",
                                   "Interface/AddOns/Quest Helper/Quest Helper.toc",
                                   "Interface/AddOns/Caf\xC3\xA9 #1+%/core.lua",
                                   "Data/enUS/patch-enUS.MPQ"};
  for (int i = static_cast<int>(rels.size()); i < fileCount; ++i) {
    rels.push_back("Data/patch-" + std::to_string(i / 50) + "/part " + std::to_string(i) + ".bin");
  }
  // Weights 1, 2, 4 ... 512 repeating: a few large files among many small ones.
  std::vector<int64_t> weights;
  int64_t weightSum = 0;
  for (int i = 0; i < fileCount; ++i) weightSum += weights.emplace_back(int64_t{1} << (i % 10));
  for (int i = 0; i < fileCount; ++i) {
    const int64_t size =
        totalBytes / weightSum * weights[i] + (i == 1 ? totalBytes % weightSum : 0);
    writeFile(dir / rels[i], size, seed + static_cast<uint64_t>(i));
  }
  return rels;
}

bool sameFiles(const fs::path& source, const fs::path& copy, std::string* difference) {
  const auto differ = [&](const std::string& why) {
    if (difference) *difference = why;
    return false;
  };
  std::vector<char> a(1 << 20), b(1 << 20);
  for (const auto& e : fs::recursive_directory_iterator(source)) {
    if (!e.is_regular_file()) continue;
    const fs::path rel = e.path().lexically_relative(source);
    std::ifstream fa(e.path(), std::ios::binary), fb(copy / rel, std::ios::binary);
    if (!fb) return differ(rel.string() + " is missing");
    while (fa && fb) {
      fa.read(a.data(), static_cast<std::streamsize>(a.size()));
      fb.read(b.data(), static_cast<std::streamsize>(b.size()));
      if (fa.gcount() != fb.gcount() ||
          !std::equal(a.begin(), a.begin() + fa.gcount(), b.begin())) {
        return differ(rel.string() + " differs");
      }
    }
    if (fa.eof() != fb.eof() || fb.peek() != EOF) return differ(rel.string() + " differs in size");
  }
  return true;
}

}  // namespace SampleClient

}  // namespace qh
