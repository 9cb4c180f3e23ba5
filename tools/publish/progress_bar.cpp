#include "tools/publish/progress_bar.h"

#include <chrono>
#include <cstdio>

#include "update/download_progress.h"

namespace qh {

namespace {

double seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ProgressBar::ProgressBar(std::string what, int64_t files, int64_t bytes, bool terminal)
    : what_(std::move(what)),
      files_(files),
      bytes_(bytes),
      terminal_(terminal),
      start_(seconds()) {}

double ProgressBar::elapsed() const {
  return seconds() - start_;
}

void ProgressBar::draw(int64_t filesDone, int64_t bytesDone) {
  if (!terminal_) return;
  constexpr int width = 30;
  const double fraction = bytes_ > 0 ? static_cast<double>(bytesDone) / bytes_ : 1.0;
  const int filled = static_cast<int>(fraction * width);
  std::string bar = std::string(filled, '#') + std::string(width - filled, '-');
  const double t = elapsed();
  const double rate = t > 0 ? bytesDone / t : 0;
  std::string tail;
  if (t > 0.5 && rate > 0) {
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.1f MB/s", rate / 1048576.0);
    tail = std::string("   ") + speed + "   " +
           DownloadProgress::formatEta(static_cast<double>(bytes_ - bytesDone) / rate);
  }
  std::fprintf(stderr, "\r%s [%s] %lld/%lld files   %.2f / %.2f GB%s\033[K", what_.c_str(),
               bar.c_str(), static_cast<long long>(filesDone), static_cast<long long>(files_),
               bytesDone / 1073741824.0, bytes_ / 1073741824.0, tail.c_str());
  std::fflush(stderr);
}

void ProgressBar::finish(int64_t filesDone, int64_t bytesDone) {
  if (terminal_) {
    draw(filesDone, bytesDone);
    std::fprintf(stderr, "\n");
  }
  const double t = elapsed();
  std::printf("%s: %lld files, %lld bytes in %.1f s (%.1f MB/s)\n", what_.c_str(),
              static_cast<long long>(filesDone), static_cast<long long>(bytesDone), t,
              t > 0 ? bytesDone / t / 1048576.0 : 0.0);
  std::fflush(stdout);
}

}  // namespace qh
