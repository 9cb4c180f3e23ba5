#include "core/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "core/qh.h"
#include "core/text.h"

namespace qh::Log {
namespace {

struct State {
  std::mutex mutex;
  std::shared_ptr<const std::filesystem::path> file;
};

// Never freed: a detached thread may still log while statics are destroyed
// at exit, and copying a destroyed shared_ptr would free its block twice.
State& state() {
  static State* s = new State;
  return *s;
}

}  // namespace

void setFile(std::optional<std::filesystem::path> file) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  s.file = file ? std::make_shared<const std::filesystem::path>(*file) : nullptr;
}

void line(std::string_view message) {
  std::shared_ptr<const std::filesystem::path> file;
  {
    State& s = state();
    std::lock_guard lock(s.mutex);
    file = s.file;
  }
  if (!file) return;
  std::string record = Text::utcTime(std::time(nullptr), "%Y-%m-%dT%H:%M:%SZ") + "  v" +
                       std::to_string(QH::launcherBuild) + "  ";
  record.append(message);
  record += '\n';
  // O_APPEND makes each record one positioned write, so records from several
  // threads never interleave. The first record creates the file the same way:
  // threads that log it at once all keep their lines, and no start waits for
  // the disk to flush a new log.
  const int fd = ::open(file->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t n = ::write(fd, record.data(), record.size());
  ::close(fd);
}

}  // namespace qh::Log
