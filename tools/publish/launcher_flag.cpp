// qh-publish --launcher-build N --launcher BUNDLE: the launcher archive and
// its build number in the folder of --platform.
#include <charconv>
#include <optional>

#include "core/error.h"
#include "tools/publish/launcher_archive.h"
#include "tools/publish/publish.h"

namespace qh {

namespace {

// Flags carry one value each; the build number waits here for --launcher,
// which is registered after it and so runs after it.
std::optional<int> launcherBuild;

const bool buildRegistered = registerPublishFlag(
    {"--launcher-build", "N", "the build number of the --launcher bundle (launcher_version.txt)",
     [](const PublishContext&, const std::string& value) {
       int build = 0;
       const auto [end, err] = std::from_chars(value.data(), value.data() + value.size(), build);
       if (err != std::errc() || end != value.data() + value.size() || build < 1) {
         throw Error("--launcher-build needs a positive whole number, not \"" + value + "\"");
       }
       launcherBuild = build;
     }});

const bool launcherRegistered = registerPublishFlag(
    {"--launcher", "BUNDLE",
     "zip the launcher bundle (*.app) as mac/Quellhaven-mac.zip (with --platform linux, "
     "Quellhaven-linux.zip in the linux folder); needs --launcher-build",
     [](const PublishContext& context, const std::string& value) {
       if (!launcherBuild) throw Error("--launcher needs --launcher-build N");
       LauncherArchive::publish(value, *launcherBuild, context.outDir, context.os);
     }});

}  // namespace

}  // namespace qh
