#include "platform/joining_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

namespace qh {
namespace {

// macOS reads no fonts ahead and hands back no thread: main() joins it all
// the same, and neither that nor its end may stop the program.
TEST(JoiningThreadTest, HoldingNoThreadJoinsAndEndsQuietly) {
  JoiningThread none;
  EXPECT_FALSE(none.running());
  none.join();
  none.join();
  JoiningThread moved = std::move(none);
  moved.join();
}

TEST(JoiningThreadTest, JoinAndEveryEndWaitForTheWork) {
  std::atomic<int> done{0};
  auto work = [&done] { done.fetch_add(1); };
  {
    JoiningThread t(std::thread{work});
    EXPECT_TRUE(t.running());
    t.join();
    EXPECT_EQ(done.load(), 1);
    EXPECT_FALSE(t.running());
  }
  { JoiningThread t(std::thread{work}); }
  EXPECT_EQ(done.load(), 2);
  {
    // Taking another thread's place waits for the one it replaces, not for
    // the one that takes it.
    std::promise<void> go;
    JoiningThread t(std::thread{work});
    t = JoiningThread(std::thread([&done, started = go.get_future()] {
      started.wait();
      done.fetch_add(1);
    }));
    EXPECT_EQ(done.load(), 3);
    go.set_value();
  }
  EXPECT_EQ(done.load(), 4);
  std::vector<JoiningThread> many;
  for (int i = 0; i < 3; ++i) many.emplace_back(std::thread{work});
  many.clear();
  EXPECT_EQ(done.load(), 7);
}

}  // namespace
}  // namespace qh
