#include <sys/sysctl.h>

#include <thread>

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
  const Process::Started child = Process::spawn(request);
  if (child.pid < 0) return;
  // Reaped on a thread of its own: the Finder may take a moment to answer.
  std::thread([pid = child.pid] { Process::wait(pid); }).detach();
}

}  // namespace qh::Platform
