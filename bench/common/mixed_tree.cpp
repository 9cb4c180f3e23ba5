#include "bench/common/mixed_tree.h"

#include "tools/sample/sample_client.h"

namespace qh::bench {

std::vector<TreeFile> writeMixedTree(const std::filesystem::path& root) {
  constexpr int64_t KiB = 1024, MiB = 1024 * KiB;
  std::vector<int64_t> sizes = {512 * MiB, 256 * MiB, 256 * MiB, 128 * MiB, 128 * MiB, 128 * MiB,
                                128 * MiB, 64 * MiB,  64 * MiB,  64 * MiB,  64 * MiB};
  for (int i = 0; i < 8; ++i) sizes.push_back(16 * MiB);
  for (int i = 0; i < 100; ++i) sizes.push_back(MiB);
  for (int i = 0; i < 400; ++i) sizes.push_back(64 * KiB);
  for (int i = 0; i < 3000; ++i) sizes.push_back(KiB);
  std::vector<TreeFile> files;
  for (size_t i = 0; i < sizes.size(); ++i) {
    TreeFile f{"Data/f" + std::to_string((i * 7919) % sizes.size()), sizes[i]};
    SampleClient::writeFile(root / f.rel, f.size, i + 1);
    files.push_back(std::move(f));
  }
  return files;
}

}  // namespace qh::bench
