#include <sys/sysctl.h>

#include "platform/machine.h"
#include "platform/process.h"

namespace qh::Platform {

std::string cpuModel() {
  char name[256] = {};
  size_t size = sizeof(name) - 1;
  if (sysctlbyname("machdep.cpu.brand_string", name, &size, nullptr, 0) != 0) return {};
  return name;
}

void revealFile(const std::filesystem::path& file) {
  Process::Request request{"/usr/bin/open", {"-R", file.string()}};
  request.input = request.output = request.error = Process::Stream::nullDevice();
  // Not waited for: the Finder may take a moment to answer, and a thread
  // left waiting could not be joined before the launcher ends. The child is
  // reaped by the system when the launcher ends.
  Process::spawn(request);
}

}  // namespace qh::Platform
