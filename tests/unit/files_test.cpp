#include <gtest/gtest.h>

#include "core/files.h"
#include "support/temp_dir.h"

namespace {

TEST(Files, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
  TempDir dir;
  const auto file = dir.write("a.txt", "old content that is longer");
  ASSERT_FALSE(files::writeAtomic(file, "new"));
  EXPECT_EQ(slurp(file), "new");
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(Files, FailedWriteKeepsTheOldFile) {
  TempDir dir;
  const auto file = dir.write("a.txt", "keep");
  EXPECT_TRUE(files::writeAtomic(dir / "missing-folder/a.txt", "x"));
  files::setWriteFailureForTesting(std::make_error_code(std::errc::no_space_on_device));
  EXPECT_EQ(files::writeAtomic(file, "lost"), std::make_error_code(std::errc::no_space_on_device));
  files::setWriteFailureForTesting(std::nullopt);
  EXPECT_EQ(slurp(file), "keep");
}

TEST(Files, ReadRefusesFoldersAndUtf8ReadRefusesGarbage) {
  TempDir dir;
  EXPECT_FALSE(files::read(dir.path()));
  EXPECT_FALSE(files::read(dir / "none"));
  dir.write("bin", std::string("\x00\xff", 2));
  EXPECT_EQ(files::read(dir / "bin")->size(), 2u);
  EXPECT_FALSE(files::readUtf8(dir / "bin"));
}

TEST(Files, ReadReturnsEveryByteWhateverTheSizeSays) {
  TempDir dir;
  std::string big(300001, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 % 256);
  EXPECT_EQ(files::read(dir.write("big", big)), big);
  EXPECT_EQ(files::read(dir.write("empty", "")), "");
  // Kernel files report a size of 0 and still have content.
  const auto status = files::read("/proc/self/status");
  ASSERT_TRUE(status);
  EXPECT_NE(status->find("Name:"), std::string::npos);
  EXPECT_EQ(status->back(), '\n');
}

}  // namespace
