// What differs between the macOS and the Linux launcher: the folder of the
// distribution server that holds the platform's runtime and launcher, and
// the name the player's texts give the compatibility layer. Every "mac/" or
// "linux/" path of the launcher and its tools is spelt here.
// Thread-safety: immutable tables, any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qh {

enum class Os { macOS, Linux };

// The platform this launcher was built for.
#ifdef __APPLE__
inline constexpr Os buildOs = Os::macOS;
#else
inline constexpr Os buildOs = Os::Linux;
#endif

struct OsLayout {
  // The server folder, without slashes: "mac" or "linux".
  std::string folder;
  // Paths relative to the server's base address (and to qh-publish's OUT_DIR).
  std::string runtimeDescription;
  std::string launcherArchive;
  std::string launcherVersion;
  // "Mac" or "Wine", as in "the Mac compatibility layer".
  std::string layerName;

  // The archive of the runtime `id`, relative as above.
  std::string runtimeArchive(std::string_view id) const;
};

const OsLayout& osLayout(Os os = buildOs);
// The platform whose folder is `folder` ("mac", "linux"), or nullopt.
std::optional<Os> osFromFolder(std::string_view folder);

}  // namespace qh
