#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <QFile>
#include <QXmlStreamReader>
#include <cstdlib>
#include <map>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace qh {

namespace fs = std::filesystem;

namespace Platform {

std::filesystem::path applicationSupportDir() {
  // The XDG rules: a relative value is invalid and ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return xdg;
  return homeDir() / ".local" / "share";
}

// A Linux window keeps its window manager's decoration and has no menu bar.
void styleLauncherWindow(uintptr_t) {}

// Qt's font database starts with FcInit, which parses every configuration
// file; fontconfig keeps one loaded configuration for the process, so Qt's
// own call then finds it done. That configuration leaves out Type 1 fonts:
// URW's fonts come both as Type 1 and as OpenType, the later-listed Type 1
// copy wins in Qt's database, and FreeType takes some 10 ms to open one
// (decrypting the whole file) against well under one for the OpenType copy.
JoiningThread readFontsAhead() {
  return JoiningThread(std::thread([] {
    FcConfig* config = FcInitLoadConfig();
    if (!config) return;
    static const char noType1[] =
        "<fontconfig><selectfont><rejectfont><pattern>"
        "<patelt name=\"fontformat\"><string>Type 1</string></patelt>"
        "</pattern></rejectfont></selectfont></fontconfig>";
    FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(noType1), FcFalse);
    if (FcConfigBuildFonts(config)) FcConfigSetCurrent(config);
    FcConfigDestroy(config);
  }));
}

bool installMainMenu(const std::string&) {
  return false;
}

// No Dock: there is no request to reopen, only activation.
bool onReopenRequest(std::function<void()>) {
  return false;
}

// Linux panels show their title.
void showPanelTitlesAsMessages() {}

}  // namespace Platform

// --- Launcher bundle and self-update ---

namespace Platform {
namespace {

// The string values of the top-level dictionary of an XML property list.
std::map<std::string, std::string> plistStrings(const fs::path& file) {
  std::map<std::string, std::string> values;
  QFile f(QString::fromStdString(file.string()));
  if (!f.open(QIODevice::ReadOnly)) return values;
  QXmlStreamReader xml(&f);
  int depth = 0;
  QString key;
  while (!xml.atEnd()) {
    const auto token = xml.readNext();
    if (token == QXmlStreamReader::EndElement) {
      --depth;
      continue;
    }
    if (token != QXmlStreamReader::StartElement) continue;
    ++depth;
    // <plist> is depth 1, its <dict> depth 2, that dictionary's entries depth 3.
    if (depth != 3) continue;
    if (xml.name() == u"key") {
      key = xml.readElementText();
      --depth;
    } else if (xml.name() == u"string") {
      values[key.toStdString()] = xml.readElementText().toStdString();
      --depth;
      key.clear();
    } else {
      key.clear();
    }
  }
  if (xml.hasError()) values.clear();
  return values;
}

}  // namespace

namespace detail {

std::optional<fs::path> mainBundle() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return std::nullopt;
  const fs::path macos = exe.parent_path();
  const fs::path contents = macos.parent_path();
  const fs::path bundle = contents.parent_path();
  if (macos.filename() != "MacOS" || contents.filename() != "Contents" ||
      bundle.extension() != ".app") {
    return std::nullopt;
  }
  return bundle;
}

std::optional<std::string> mainBundleIdentifier() {
  const auto bundle = mainBundle();
  if (!bundle) return std::nullopt;
  const auto info = openBundle(*bundle);
  return info ? info->identifier : std::nullopt;
}

int extractZip(const fs::path& zip, const fs::path& into) {
  std::error_code ec;
  fs::create_directories(into, ec);
  if (ec) return -1;
  // bsdtar's defaults refuse absolute names, ".." and writes through symbolic
  // links; owners are never taken from the archive.
  return Process::run(toolRequest(
      "/usr/bin/bsdtar", {"-x", "--no-same-owner", "-f", zip.string(), "-C", into.string()}));
}

std::vector<std::string> relaunchArguments(const fs::path& backup, const fs::path& bundle) {
  const auto info = openBundle(bundle);
  const fs::path exe =
      info ? info->executable : bundle / "Contents" / "MacOS" / "quellhaven-launcher";
  return {"-c", "sleep 1; rm -rf \"$1\"; exec \"$2\"", "sh", backup.string(), exe.string()};
}

}  // namespace detail

std::optional<BundleInfo> openBundle(const fs::path& bundle) {
  std::error_code ec;
  if (!fs::is_directory(bundle, ec)) return std::nullopt;
  const auto values = plistStrings(bundle / "Contents" / "Info.plist");
  const auto exe = values.find("CFBundleExecutable");
  if (exe == values.end() || exe->second.empty() || exe->second.find('/') != std::string::npos) {
    return std::nullopt;
  }
  BundleInfo info;
  info.executable = bundle / "Contents" / "MacOS" / exe->second;
  if (!fs::is_regular_file(info.executable, ec) || ::access(info.executable.c_str(), X_OK) != 0) {
    return std::nullopt;
  }
  if (const auto id = values.find("CFBundleIdentifier"); id != values.end()) {
    info.identifier = id->second;
  }
  return info;
}

bool isWritable(const fs::path& folder) {
  return ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace Platform

// --- Compatibility layer ---

namespace Platform {

// Rosetta 2 exists only on macOS; nothing on Linux asks for it.
bool isAppleSilicon() {
  return false;
}

// Linux file systems carry no download quarantine.
void clearQuarantine(const std::filesystem::path&) {}

std::filesystem::path tarPath() {
  // Merged-/usr systems have both; older ones only /bin/tar.
  if (::access("/usr/bin/tar", X_OK) == 0) return "/usr/bin/tar";
  return "/bin/tar";
}

int detail::limitSpawnInheritance(posix_spawnattr_t*, posix_spawn_file_actions_t* actions) {
  return posix_spawn_file_actions_addclosefrom_np(actions, 3);
}

}  // namespace Platform

}  // namespace qh
