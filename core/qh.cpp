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

const std::map<std::string, std::string>& fallbackRuntime() {
  static const std::map<std::string, std::string> v = {
      {"wine_id", "qh-wine-cx23.7.1-2"},
      {"wine_url", "runtime/qh-wine-cx23.7.1-2.tar.xz"},
      {"wine_sha256", ""},
      {"wine_bin", "qh-wine-cx23.7.1-2/wswine.bundle/bin/wine"},
      {"wine_libs", "qh-wine-cx23.7.1-2/Frameworks"},
      {"dxvk_dll", "qh-wine-cx23.7.1-2/dxvk/d3d9.dll"},
  };
  return v;
}

}  // namespace qh::QH
