#include "core/qh.h"

#include "qh_config.h"

namespace qh::QH {

const std::string& websiteURL() {
  static const std::string v = QH_WEBSITE_URL;
  return v;
}

const std::string& discordURL() {
  static const std::string v = QH_DISCORD_URL;
  return v;
}

const std::string& userAgent() {
  static const std::string v = "QuellhavenMacLauncher/" + std::to_string(launcherBuild);
  return v;
}

const std::string& defaultBaseURL() {
  static const std::string v = QH_DEFAULT_BASE_URL;
  return v;
}

const std::string& realmHost() {
  static const std::string v = QH_REALM_HOST;
  return v;
}

const std::string& bundleIdentifier() {
  static const std::string v = QH_BUNDLE_ID;
  return v;
}

int releaseKeyCount() {
  return QH_RELEASE_KEY_COUNT;
}

}  // namespace qh::QH
