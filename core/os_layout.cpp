#include "core/os_layout.h"

namespace qh {

namespace {

OsLayout make(const std::string& folder, const std::string& layerName) {
  return {folder, folder + "/runtime.txt", folder + "/Quellhaven-" + folder + ".zip",
          folder + "/launcher_version.txt", layerName};
}

}  // namespace

std::string OsLayout::runtimeArchive(std::string_view id) const {
  return folder + "/runtime/" + std::string(id) + ".tar.xz";
}

const OsLayout& osLayout(Os os) {
  static const OsLayout mac = make("mac", "Mac");
  static const OsLayout gnuLinux = make("linux", "Wine");
  return os == Os::macOS ? mac : gnuLinux;
}

std::optional<Os> osFromFolder(std::string_view folder) {
  for (const Os os : {Os::macOS, Os::Linux}) {
    if (osLayout(os).folder == folder) return os;
  }
  return std::nullopt;
}

}  // namespace qh
