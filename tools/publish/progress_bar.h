// The one-line progress display of qh-publish: files, bytes, speed and time
// left, redrawn in place on a terminal; a single summary line otherwise.
// Thread-safety: draw() and finish() from one thread.
#pragma once

#include <cstdint>
#include <string>

namespace qh {

class ProgressBar {
 public:
  ProgressBar(std::string what, int64_t files, int64_t bytes, bool terminal);
  void draw(int64_t filesDone, int64_t bytesDone);
  void finish(int64_t filesDone, int64_t bytesDone);

 private:
  double elapsed() const;

  std::string what_;
  int64_t files_, bytes_;
  bool terminal_;
  double start_;
};

}  // namespace qh
