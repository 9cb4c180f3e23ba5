// An install onto a disk that fills up: the run ends with the platform's "No
// space left on device" as its last error, keeps the finished files and the
// partial one, and once space is freed the next run resumes that file from
// where it stopped.
//
// Two disks: a real tmpfs of 512 KiB, a third of it free (needs the right to
// mount; skipped otherwise), and the downloader's write seam failing with
// ENOSPC once a byte budget is spent, which runs everywhere.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include "net/download_seams.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "update/fake_host.h"
#include "update/update_engine.h"

namespace fs = std::filesystem;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

constexpr size_t KiB = 1024;

// A disk the install folder lives on, with about `free` bytes left, and a way
// to free space afterwards.
class Disk {
 public:
  virtual ~Disk() = default;
  // The install folder, or "" with *why set when this disk cannot be had here.
  virtual fs::path prepare(const fs::path& scratch, size_t free, std::string* why) = 0;
  virtual void freeSpace() = 0;
};

// A tmpfs holding a ballast file; freeing space deletes the ballast.
class TmpfsDisk final : public Disk {
 public:
  ~TmpfsDisk() override {
    if (!ballast_.empty()) ::umount2(ballast_.parent_path().c_str(), MNT_DETACH);
  }
  fs::path prepare(const fs::path& scratch, size_t free, std::string* why) override {
    const fs::path point = scratch / "disk";
    fs::create_directories(point);
    if (::mount("tmpfs", point.c_str(), "tmpfs", 0, "size=524288") != 0) {
      *why = std::string("cannot mount a tmpfs here (") + std::strerror(errno) +
             "); the write-seam disk covers the same path";
      return {};
    }
    ballast_ = writeFile(point / "ballast", std::string(512 * KiB - free, 'b'));
    if (fs::file_size(ballast_) != 512 * KiB - free) {
      *why = "the tmpfs took less ballast than asked";
      return {};
    }
    return point / "Quellhaven";
  }
  void freeSpace() override { fs::remove(ballast_); }

 private:
  fs::path ballast_;
};

// The downloader's writes spend a budget; when it runs out a write is cut
// short and the next fails with ENOSPC, as a full file system does.
class SeamDisk final : public Disk {
 public:
  fs::path prepare(const fs::path& scratch, size_t free, std::string*) override {
    left_ = free;
    scope_ = std::make_unique<DownloadSeams::Scope>(
        DownloadSeams{.write = [this](int fd, const char* data, size_t size) -> ssize_t {
          std::lock_guard lock(mutex_);
          if (left_ == 0) {
            errno = ENOSPC;
            return -1;
          }
          const ssize_t n = ::write(fd, data, std::min(size, left_));
          if (n > 0) left_ -= static_cast<size_t>(n);
          return n;
        }});
    return scratch / "Quellhaven";
  }
  void freeSpace() override {
    std::lock_guard lock(mutex_);
    left_ = SIZE_MAX;
  }

 private:
  std::mutex mutex_;
  size_t left_ = 0;
  std::unique_ptr<DownloadSeams::Scope> scope_;
};

class FullDisk : public ::testing::TestWithParam<bool> {};

TEST_P(FullDisk, EndsClearlyKeepsWhatArrivedAndResumesOnceFreed) {
  TempDir dir;
  const std::unique_ptr<Disk> disk =
      GetParam() ? std::unique_ptr<Disk>(new TmpfsDisk) : std::make_unique<SeamDisk>();
  std::string why;
  const fs::path install = disk->prepare(dir.path(), 160 * KiB, &why);
  if (install.empty()) GTEST_SKIP() << why;

  // The first two fit; the third fills the disk part of the way.
  const std::string exe = randomBytes(8 * KiB, 1), small = randomBytes(40 * KiB, 2),
                    large = randomBytes(400 * KiB, 3);
  TestServer server;
  std::string manifest;
  for (const auto& [rel, bytes] : {std::pair<std::string, std::string>{"Wow.exe", exe},
                                   {"Data/a.MPQ", small},
                                   {"Data/b.MPQ", large}}) {
    server.setFile("/" + rel, bytes);
    manifest += manifestLine(rel, bytes);
  }
  server.setFile("/version.txt", "2.1\n");
  server.setFile("/manifest.txt", manifest);
  auto host = FakeHost::make(server.url(), install, dir / "state");

  runTask(UpdateEngine::sync(host, false));

  EXPECT_EQ(host->status, "Couldn't fetch 1 file(s) - press RETRY (finished files are kept).");
  EXPECT_THAT(host->detail, StartsWith("Last error: "));
  EXPECT_THAT(host->detail, EndsWith("No space left on device"));
  EXPECT_EQ(host->phase, Phase::needInstall);
  EXPECT_TRUE(host->finishes.empty());
  EXPECT_EQ(slurp(install / "Wow.exe"), exe);
  EXPECT_EQ(slurp(install / "Data/a.MPQ"), small);
  EXPECT_FALSE(fs::exists(install / "Data/b.MPQ"));
  const std::string partial = slurp(install / "Data/b.MPQ.part");
  ASSERT_GT(partial.size(), 0u);
  ASSERT_LT(partial.size(), large.size());
  EXPECT_EQ(partial, large.substr(0, partial.size()));
  EXPECT_FALSE(fs::exists(install / ".qhversion"));
  const std::string log = slurp(dir / "state/download_errors.log");
  EXPECT_THAT(log, HasSubstr("attempt 4/4  Data/b.MPQ  "));
  EXPECT_THAT(log, HasSubstr("No space left on device\n"));

  disk->freeSpace();
  server.clearRequests();
  runTask(UpdateEngine::sync(host, false));

  ASSERT_EQ(host->finishes.size(), 1u) << host->status << " / " << host->detail;
  EXPECT_EQ(host->finishes[0].summary, "Installed");
  EXPECT_EQ(slurp(install / "Data/b.MPQ"), large);
  EXPECT_FALSE(fs::exists(install / "Data/b.MPQ.part"));
  // Only the unfinished file is fetched again, from where it stopped.
  const std::vector<TestServer::Request> again = server.requests("/Data/b.MPQ");
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].header("Range"), "bytes=" + std::to_string(partial.size()) + "-");
  EXPECT_TRUE(server.requests("/Data/a.MPQ").empty());
  EXPECT_TRUE(server.requests("/Wow.exe").empty());
}

INSTANTIATE_TEST_SUITE_P(Disks, FullDisk, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Tmpfs" : "WriteSeam"; });

}  // namespace
