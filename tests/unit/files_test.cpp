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

}  // namespace
