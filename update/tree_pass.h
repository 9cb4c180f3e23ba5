// Passes over a manifest's entries against the install folder, spread over a
// few threads: such a pass mostly waits on the file system, which answers
// several threads at once.
// Thread-safety: blocking; call from a worker. `work` and `each` run on this
// thread and on up to three more at once.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>

#include "update/install_tree.h"

namespace qh {

// Runs `work` on this thread and on up to three more, no more threads than
// `items`, and returns when all are done.
void runOnThreads(size_t items, const std::function<void()>& work);

// Calls each(tree, i) once for every i below `count`; the threads take blocks
// of `block` indices, each with an InstallTree of its own over `installDir`.
void forEachInTree(const std::filesystem::path& installDir, size_t count, size_t block,
                   const std::function<void(InstallTree& tree, size_t i)>& each);

}  // namespace qh
