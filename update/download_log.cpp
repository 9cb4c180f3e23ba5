#include "update/download_log.h"

#include <fcntl.h>
#include <unistd.h>

#include "core/files.h"
#include "core/qh.h"
#include "core/text.h"

namespace qh::DownloadLog {

std::string record(std::time_t when, const std::string& rel, int attempt,
                   const std::string& message) {
  return Text::utcTime(when, "%Y-%m-%d %H:%M:%S +0000") + "  v" +
         std::to_string(QH::launcherBuild) + "  attempt " + std::to_string(attempt) + "/4  " + rel +
         "  " + message + "\n";
}

void append(const std::filesystem::path& stateDir, const std::string& rel, int attempt,
            const std::string& message) {
  const std::string line = record(std::time(nullptr), rel, attempt, message);
  const std::filesystem::path log = stateDir / fileName;
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    Files::writeAtomic(log, line);
    return;
  }
  for (size_t done = 0; done < line.size();) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace qh::DownloadLog
