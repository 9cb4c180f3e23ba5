#include "update/tree_pass.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace qh {

void runOnThreads(size_t items, const std::function<void()>& work) {
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads && t < items; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
}

void forEachInTree(const std::filesystem::path& installDir, size_t count, size_t block,
                   const std::function<void(InstallTree& tree, size_t i)>& each) {
  std::atomic<size_t> nextBlock{0};
  runOnThreads((count + block - 1) / block, [&] {
    InstallTree tree(installDir);
    for (size_t b; (b = nextBlock++ * block) < count;) {
      for (size_t i = b; i < std::min(b + block, count); ++i) each(tree, i);
    }
  });
}

}  // namespace qh
