// Helpers shared by the benchmarks: timing, scratch folders, large files,
// reference programs and a private nginx on 127.0.0.1.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qh::bench {

// A fresh folder under the temporary folder, removed by its destructor.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Points HOME and the XDG folders into `folder`, so user defaults the
// benchmark stores never touch the developer's own.
void isolateHome(const std::filesystem::path& folder);

// Writes `size` pseudo-random bytes to `file`, 1 MiB at a time.
void writeFile(const std::filesystem::path& file, uint64_t size);

// Reads `file` once so that later readers find it in the page cache.
void warm(const std::filesystem::path& file);

// Runs `argv` (argv[0] an absolute path) and waits, its output and errors on
// the null device; returns its exit status, -1 when it could not run.
int run(const std::vector<std::string>& argv);

struct Output {
  int status = -1;
  std::string text;
};
// The same, with its standard output kept.
Output capture(const std::vector<std::string>& argv);

// Monotonic seconds.
double now();
// Seconds `work` takes.
double seconds(const std::function<void()>& work);
// The best of `n` timings: the figure least disturbed by other work.
double best(int n, const std::function<void()>& work);
// Peak resident memory of this process, in MiB.
double peakRssMiB();

// The certificate (PEM) and key with which nginx answers HTTPS.
struct NginxTls {
  std::filesystem::path certificate;
  std::filesystem::path key;
};

// nginx (/usr/sbin/nginx) serving `root` on 127.0.0.1 and a free port, with
// its configuration, logs and pid file under `work`; over HTTPS when `tls` is
// given; each answer sent at `rate` bytes per second at most when it is
// above 0, as a line of that speed would carry it. Stopped by the destructor.
class Nginx {
 public:
  Nginx(const std::filesystem::path& root, const std::filesystem::path& work,
        const std::optional<NginxTls>& tls = std::nullopt, int64_t rate = 0);
  ~Nginx();
  Nginx(const Nginx&) = delete;
  Nginx& operator=(const Nginx&) = delete;
  std::string url(const std::string& path) const;
  int port() const { return port_; }

 private:
  int port_ = 0;
  pid_t pid_ = -1;
  bool tls_ = false;
};

}  // namespace qh::bench
