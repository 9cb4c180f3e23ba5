#include "net/hash.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <system_error>
#include <thread>

#include "core/quitting.h"
#include "platform/unique_fd.h"
#include "support/temp_dir.h"

namespace qh {

namespace {

struct Digests {
  std::string name;
  std::string bytes;
  std::string sha1;
  std::string sha256;
};

class HashDigest : public ::testing::TestWithParam<Digests> {};

TEST_P(HashDigest, MatchesTheStandardDigests) {
  TempDir dir;
  const auto file = dir.write("f", GetParam().bytes);
  EXPECT_EQ(Hash::sha1(file), GetParam().sha1);
  EXPECT_EQ(Hash::sha256(file), GetParam().sha256);
}

INSTANTIATE_TEST_SUITE_P(
    Known, HashDigest,
    ::testing::Values(Digests{"empty", "", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
                              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
                      Digests{"abc", "abc", "a9993e364706816aba3e25717850c26c9cd0d89d",
                              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
                      // Many whole chunks and a remainder.
                      Digests{"chunks", std::string(16 * 1024 * 1024 + 5, 'x'),
                              "ed3007dcca0488c69e9badf3e547fe02533eef35",
                              "c4d13806acc56806fcb1a84ebb1737df394a4d6a07b28789c7b932f2073013b1"}),
    [](const auto& info) { return info.param.name; });

// Quitting stops a checksum at its next read, not at the end of its chunk:
// here the rest of the chunk never comes, as from a stalled disk.
TEST(HashQuitting, StopsAtTheNextReadInsideAChunk) {
  TempDir dir;
  const auto fifo = dir / "slow";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto hashing = std::async(std::launch::async, [&] { return Hash::sha1(fifo); });
  const UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_CLOEXEC));
  ASSERT_TRUE(writer);
  // Four whole chunks and the start of a fifth.
  const std::string piece(4 * Hash::chunkSize + 1000, 'q');
  ASSERT_EQ(::write(writer.get(), piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
  // Once the pipe is empty the checksum waits inside its fifth chunk.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int unread = 1; unread > 0 && std::chrono::steady_clock::now() < until;) {
    ASSERT_EQ(::ioctl(writer.get(), FIONREAD, &unread), 0);
    std::this_thread::yield();
  }
  Quitting::begin();
  // Wakes the read under way; a checksum that already stopped has closed
  // its end (EPIPE, not the signal).
  const auto previous = ::signal(SIGPIPE, SIG_IGN);
  [[maybe_unused]] const ssize_t woken = ::write(writer.get(), piece.data(), 4096);
  ::signal(SIGPIPE, previous);
  const bool stopped = hashing.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  Quitting::flag().store(false);
  EXPECT_TRUE(stopped) << "the checksum waited for the rest of its chunk";
  if (!stopped) return;  // the writer's end ends it
  try {
    hashing.get();
    ADD_FAILURE() << "a checksum cut short gave a digest";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::operation_canceled);
  }
}

}  // namespace

}  // namespace qh
