#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "core/log.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

class LogTest : public ::testing::Test {
 protected:
  void TearDown() override { Log::setFile(std::nullopt); }
  TempDir dir;
};

TEST_F(LogTest, RecordFormatIsExactAndTheLogIsMadeAgainWhenDeleted) {
  const auto file = dir / "launcher.log";
  Log::setFile(std::nullopt);
  Log::line("lost");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  Log::setFile(file);
  Log::line("hello world");
  Log::line("");
  Log::line("two\nlines");
  const std::string text = slurp(file);
  const std::regex record(
      "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ  v3  hello world\n"
      "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ  v3  \n"
      "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ  v3  two\nlines\n");
  EXPECT_TRUE(std::regex_match(text, record)) << text;
  // A log deleted meanwhile is made again, with the next record only.
  std::filesystem::remove(file);
  Log::line("second");
  EXPECT_TRUE(std::regex_match(
      slurp(file), std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ  v3  second\n")));
}

// Also while the first records create the file: none is lost.
TEST_F(LogTest, ConcurrentRecordsNeverInterleave) {
  const auto file = dir / "launcher.log";
  Log::setFile(file);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) Log::line(std::string(100, static_cast<char>('a' + t)));
    });
  }
  for (auto& th : threads) th.join();
  const std::regex line("\\S+  v3  (a{100}|b{100}|c{100}|d{100}|e{100}|f{100}|g{100}|h{100})");
  std::istringstream in(slurp(file));
  int count = 0;
  for (std::string l; std::getline(in, l); ++count) ASSERT_TRUE(std::regex_match(l, line)) << l;
  EXPECT_EQ(count, 8 * 200);
}

}  // namespace

}  // namespace qh
