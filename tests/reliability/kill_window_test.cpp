// A launcher killed at the worst moment of a download: the instant a file
// appears under its final name. Whatever appears there must already be the
// verified file, or a later run that trusts sizes keeps a corrupt client.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include "campaign.h"
#include "net/hash.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "tools/sample/sample_client.h"

namespace fs = std::filesystem;

namespace {

// Kills `driver` as soon as a file named `name` is moved into `dir`.
class KillOnArrival {
 public:
  KillOnArrival(const fs::path& dir, std::string name, Campaign::DriverProcess& driver)
      : dir_(dir), fd_(inotify_init1(IN_CLOEXEC)), name_(std::move(name)), driver_(driver) {
    inotify_add_watch(fd_, dir.c_str(), IN_MOVED_TO | IN_CREATE);
    thread_ = std::thread([this] { watch(); });
  }
  ~KillOnArrival() {
    // Closing the descriptor does not wake read(); a file of our own does.
    stop_ = true;
    std::ofstream(dir_ / "stop") << "";
    thread_.join();
    fs::remove(dir_ / "stop");
    ::close(fd_);
  }
  bool fired() const { return fired_; }

 private:
  void watch() {
    alignas(inotify_event) char buf[4096];
    while (!stop_) {
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
        if ((e->mask & IN_MOVED_TO) && e->len && name_ == e->name && !fired_) {
          driver_.kill();
          fired_ = true;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
  }

  fs::path dir_;
  int fd_;
  std::string name_;
  Campaign::DriverProcess& driver_;
  std::atomic<bool> stop_{false}, fired_{false};
  std::thread thread_;
};

TEST(KillWindow, AFileUnderItsFinalNameIsAlwaysVerified) {
  TempDir dir;
  const fs::path server = dir / "server", client = dir / "client", home = dir / "home";
  fs::create_directories(client);
  fs::create_directories(home);
  // Large enough that checking it takes a while after it is in place.
  SampleClient::writeFile(server / "Data/big.MPQ", 48 * 1024 * 1024, 5);
  SampleClient::writeFile(server / "Wow.exe", 1000, 6);
  std::string manifest;
  for (const char* rel : {"Wow.exe", "Data/big.MPQ"}) {
    manifest += Hash::sha1(server / rel) + "\t" + std::to_string(fs::file_size(server / rel)) +
                "\t" + rel + "\n";
  }
  dir.write("server/manifest.txt", manifest);
  dir.write("server/version.txt", "2\n");
  fs::create_directories(client / "Data");

  // The first answer for the big file carries one wrong byte.
  TestServer http;
  http.serveFolder(server);
  http.fault("/Data/big.MPQ", {.flipAt = 40 * 1024 * 1024}, 1);
  Campaign::DriverProcess driver(QH_FAULT_DRIVER, home);
  const std::vector<std::string> args = {http.url(), client.string(), (dir / "state").string()};
  fs::create_directories(dir / "state");
  {
    KillOnArrival killer(client / "Data", "big.MPQ", driver);
    driver.run(args, dir / "run1.txt");
  }
  // Whatever the first run left, the next one must end with the right bytes.
  const int status = driver.run(args, dir / "run2.txt");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << slurp(dir / "run1.txt") << slurp(dir / "run2.txt");
  EXPECT_TRUE(slurp(client / "Data/big.MPQ") == slurp(server / "Data/big.MPQ"))
      << "a corrupt download was left in place and trusted by size";
}

}  // namespace
