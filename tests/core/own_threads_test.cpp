// The launcher's own threads are all stopped and joined before main()
// returns; the process's end depends on it.
#include "core/own_threads.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace qh {

namespace {

TEST(OwnThreads, StopAllWakesEveryThreadAndReturnsOnlyOnceEachHasEnded) {
  // The main thread holds the lock until stopAll(), so no thread can have
  // ended before.
  std::mutex mutex;
  std::vector<int> ended;
  for (int i = 0; i < 3; ++i) {
    OwnThreads::start([&, i](StopToken stop) {
      stop.wait();
      std::lock_guard lock(mutex);
      ended.push_back(i);
    });
  }
  EXPECT_GE(OwnThreads::count(), 3u);
  OwnThreads::stopAll();
  std::lock_guard lock(mutex);
  EXPECT_EQ(ended.size(), 3u);
  EXPECT_EQ(OwnThreads::count(), 0u);
}

}  // namespace

}  // namespace qh
