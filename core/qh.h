// Constants shared by the whole launcher.
#pragma once

#include <string>

namespace qh::QH {

// The launcher's build number: in the user agent, every log record and the
// self-update check.
inline constexpr int launcherBuild = 3;

const std::string& websiteURL();
const std::string& discordURL();
// "QuellhavenMacLauncher/3".
const std::string& userAgent();
// The distribution server used when "launcher.cfg" names none; no trailing "/".
const std::string& defaultBaseURL();
// The host the client's realm list points at.
const std::string& realmHost();
// The launcher's bundle identifier.
const std::string& bundleIdentifier();
// How many release keys the build named (QH_RELEASE_KEYS).
int releaseKeyCount();

}  // namespace qh::QH
