#include "core/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <mutex>
#include <string>

#include "core/files.h"
#include "core/qh.h"

namespace Log {
namespace {

std::mutex urlMutex;
std::shared_ptr<const std::filesystem::path> current;

std::string timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return buf;
}

}  // namespace

void setUrl(std::optional<std::filesystem::path> file) {
  std::lock_guard lock(urlMutex);
  current = file ? std::make_shared<const std::filesystem::path>(*file) : nullptr;
}

std::optional<std::filesystem::path> url() {
  std::lock_guard lock(urlMutex);
  if (!current) return std::nullopt;
  return *current;
}

void line(std::string_view message) {
  std::shared_ptr<const std::filesystem::path> file;
  {
    std::lock_guard lock(urlMutex);
    file = current;
  }
  if (!file) return;
  std::string record = timestamp() + "  v" + std::to_string(QH::launcherBuild) + "  ";
  record.append(message);
  record += '\n';
  // O_APPEND makes each record one positioned write, so records from several
  // threads never interleave.
  const int fd = ::open(file->c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    files::writeAtomic(*file, record);
    return;
  }
  [[maybe_unused]] const ssize_t n = ::write(fd, record.data(), record.size());
  ::close(fd);
}

}  // namespace Log
