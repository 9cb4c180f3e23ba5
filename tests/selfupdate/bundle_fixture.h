// Launcher bundles for tests: the real folder shape, with an executable stub
// that appends a line to the file named by $QH_STUB_RECORD when started.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/temp_dir.h"
#include "support/tree_of.h"

namespace qh {

inline std::string infoPlist(const std::optional<std::string>& identifier) {
  std::string s =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n"
      "\t<key>CFBundleExecutable</key>\n\t<string>quellhaven-launcher</string>\n"
      "\t<key>LSEnvironment</key>\n\t<dict>\n"
      "\t\t<key>CFBundleIdentifier</key>\n\t\t<string>nested.decoy</string>\n\t</dict>\n";
  if (identifier) s += "\t<key>CFBundleIdentifier</key>\n\t<string>" + *identifier + "</string>\n";
  s += "\t<key>NSHighResolutionCapable</key>\n\t<true/>\n</dict>\n</plist>\n";
  return s;
}

// Creates "<folder>/<name>" as a bundle whose stub records "<label> started".
inline std::filesystem::path makeBundle(const std::filesystem::path& folder,
                                        const std::string& name,
                                        const std::optional<std::string>& identifier,
                                        const std::string& label) {
  namespace fs = std::filesystem;
  const fs::path bundle = folder / name;
  writeFile(bundle / "Contents/Info.plist", infoPlist(identifier));
  writeExecutable(bundle / "Contents/MacOS/quellhaven-launcher",
                  "#!/bin/sh\necho \"" + label + " started\" >> \"$QH_STUB_RECORD\"\n");
  writeFile(bundle / "Contents/Resources/shim/version.dll", "MZ shim of " + label);
  fs::create_directory_symlink("shim", bundle / "Contents/Resources/current");
  return bundle;
}

}  // namespace qh
