// The bundle and self-update functions whose implementation serves both
// systems: tool runs, the size check before unpacking, terminate.
#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>

#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/process.h"

namespace qh {

namespace Platform {
namespace {

std::atomic<bool> terminating{false};

}  // namespace

namespace detail {

Process::Request toolRequest(std::string program, std::vector<std::string> args) {
  Process::Request request{std::move(program), std::move(args)};
  request.input = request.output = request.error = Process::Stream::nullDevice();
  return request;
}

}  // namespace detail

std::optional<std::filesystem::path> runningBundle() {
  return detail::mainBundle();
}

std::optional<std::string> runningBundleIdentifier() {
  return detail::mainBundleIdentifier();
}

std::optional<std::filesystem::path> resourcesDir() {
  const auto bundle = runningBundle();
  if (!bundle) return std::nullopt;
  return *bundle / "Contents" / "Resources";
}

int unzip(const std::filesystem::path& zip, const std::filesystem::path& into, int64_t maxBytes) {
  // Stream every entry's bytes through a counter first: declared sizes can
  // lie, and an archive that would fill the disk must not start unpacking.
  int64_t total = 0;
  const int measured =
      Process::runReading(detail::toolRequest("/usr/bin/bsdtar", {"-x", "-O", "-f", zip.string()}),
                          [&](std::string_view chunk) {
                            total += static_cast<int64_t>(chunk.size());
                            return total <= maxBytes;
                          });
  if (measured != 0) return measured;
  return detail::extractZip(zip, into);
}

std::error_code startRelaunch(const std::filesystem::path& backup,
                              const std::filesystem::path& bundle) {
  Process::Request request =
      detail::toolRequest("/bin/sh", detail::relaunchArguments(backup, bundle));
  request.newSession = true;
  const Process::Started child = Process::spawn(request);
  if (child.error) return child.error;
  // Not waited for: the child becomes the next launcher and outlives this
  // one, which quits right after; the system reaps it then. A thread left
  // waiting for it could not be joined before this process ends.
  return {};
}

void terminate() {
  terminating = true;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool terminationRequested() {
  return terminating;
}

}  // namespace Platform

}  // namespace qh
