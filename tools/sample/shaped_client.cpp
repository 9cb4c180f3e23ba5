#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "core/files.h"
#include "platform/system_error.h"
#include "tools/sample/sample_client.h"

namespace qh {

namespace fs = std::filesystem;

namespace SampleClient {
namespace {

constexpr int64_t kMB = 1 << 20;

void ensureBinary(const fs::path& file, int64_t size, uint64_t seed) {
  std::error_code ec;
  if (fs::is_regular_file(file, ec) && static_cast<int64_t>(fs::file_size(file, ec)) == size) {
    return;
  }
  writeFile(file, size, seed);
}

void ensureText(const fs::path& file, const std::string& bytes) {
  if (Files::read(file) == bytes) return;
  fs::create_directories(file.parent_path());
  if (const std::error_code ec = Files::writeAtomic(file, bytes)) {
    throw systemError("cannot write", file, ec);
  }
}

void ensureCopy(const fs::path& from, const fs::path& to) {
  const auto bytes = Files::read(from);
  if (!bytes) throw std::runtime_error("cannot read " + from.string());
  ensureText(to, *bytes);
}

std::string luaFile(const std::string& addon, int n) {
  std::string text = "-- " + addon + " module " + std::to_string(n) + "\nlocal " + "M = {}\n";
  for (int i = 0; i < 40 + n % 7 * 10; ++i) {
    text += "function M.handler" + std::to_string(i) + "(frame, event, ...)\n  return frame, \"" +
            addon + "\", " + std::to_string(i * n) + "\nend\n";
  }
  return text + "return M\n";
}

void executable(const fs::path& file, const std::string& script) {
  ensureText(file, script);
  fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

// The system's wineserver: beside /usr/bin/wine on most systems, only in
// Wine's library folder on some.
std::optional<fs::path> systemWineserver() {
  for (const char* p : {"/usr/bin/wineserver", "/usr/lib/wine/wineserver64",
                        "/usr/lib/wine/wineserver", "/usr/lib/x86_64-linux-gnu/wine/wineserver"}) {
    if (::access(p, X_OK) == 0) return fs::path(p);
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> shapedAddons() {
  return {"QuellhavenUI", "Quest Helper"};
}

std::vector<std::string> generateShaped(const fs::path& dir, int64_t totalBytes, int fileCount,
                                        const fs::path& gameExe, uint64_t seed) {
  totalBytes = std::max<int64_t>(totalBytes, 4 * kMB);
  std::vector<std::string> rels;
  const auto binary = [&](const std::string& rel, int64_t size) {
    ensureBinary(dir / rel, size, seed + rels.size());
    rels.push_back(rel);
  };
  const auto text = [&](const std::string& rel, const std::string& bytes) {
    ensureText(dir / rel, bytes);
    rels.push_back(rel);
  };

  ensureCopy(gameExe, dir / "QuellhavenGame.exe");
  rels.push_back("QuellhavenGame.exe");

  // Nine tenths in the archives, the largest first as in a real client.
  const int64_t archives = totalBytes / 10 * 9;
  binary("Data/common.MPQ", archives / 100 * 32);
  binary("Data/common-2.MPQ", archives / 100 * 22);
  binary("Data/expansion.MPQ", archives / 100 * 18);
  binary("Data/patch.MPQ", archives / 100 * 10);
  binary("Data/patch-2.MPQ", archives / 100 * 4);
  binary("Data/enUS/locale-enUS.MPQ", archives / 100 * 10);
  binary("Data/enUS/patch-enUS.MPQ", archives / 100 * 4);
  text("Data/enUS/Documentation/Readme.txt", "Quellhaven client, English (US) locale.\r\n");

  for (const std::string& addon : shapedAddons()) {
    const std::string folder = "Interface/AddOns/" + addon + "/";
    text(folder + addon + ".toc", "## Interface: 30300\r\n## Title: " + addon +
                                      "\r\n## Notes: Part of the Quellhaven client.\r\n"
                                      "## SavedVariables: " +
                                      addon.substr(0, addon.find(' ')) + "DB\r\n\r\ncore.lua\r\n");
    text(folder + "core.lua", luaFile(addon, 0));
    for (int i = 1; i <= 12; ++i)
      text(folder + "modules/module" + std::to_string(i) + ".lua", luaFile(addon, i));
    for (int i = 1; i <= 4; ++i)
      binary(folder + "media/texture" + std::to_string(i) + ".blp", 24 * 1024 * i);
  }

  text("WTF/Account/DEMO/bindings-cache.wtf", "BINDINGMODE 0\r\nbind ESCAPE TOGGLEGAMEMENU\r\n");
  text("WTF/Account/DEMO/SavedVariables/QuellhavenUI.lua", "QuellhavenDB = {\r\n}\r\n");
  for (const char* wdb : {"creaturecache", "gameobjectcache", "itemcache", "itemnamecache",
                          "itemtextcache", "npccache", "pagetextcache", "questcache"}) {
    binary(std::string("Cache/WDB/enUS/") + wdb + ".wdb", 48 * 1024);
  }
  text("Logs/README.txt", "The client writes its logs here.\r\n");

  // The rest: small interface files until the count is reached, then the
  // bytes still missing from the total spread over them.
  const int small = std::max(0, fileCount - static_cast<int>(rels.size()));
  int64_t used = 0;
  for (const std::string& rel : rels) {
    std::error_code ec;
    used += static_cast<int64_t>(fs::file_size(dir / rel, ec));
  }
  const int64_t each = small > 0 ? std::max<int64_t>(1024, (totalBytes - used) / small) : 0;
  for (int i = 0; i < small; ++i) {
    const std::string folder = i % 3 == 0   ? "Interface/Icons/"
                               : i % 3 == 1 ? "Interface/Glues/"
                                            : "Interface/FrameXML/";
    binary(folder + "item_" + std::to_string(i) + ".blp", each / 2 + (each * (i % 5)) / 4);
  }
  std::sort(rels.begin(), rels.end());
  return rels;
}

bool writeRuntime(const fs::path& dir, bool stub) {
  const auto server = systemWineserver();
  const bool system = !stub && ::access("/usr/bin/wine", X_OK) == 0 && server;
  if (system) {
    executable(dir / "bin/wine",
               "#!/bin/sh\n# Hands over to the system's Wine.\nexec /usr/bin/wine \"$@\"\n");
    executable(dir / "bin/wineserver", "#!/bin/sh\nexec " + server->string() + " \"$@\"\n");
    return true;
  }
  executable(dir / "bin/wine", R"sh(#!/bin/sh
# A stand-in for wine: enough of it for the launcher's calls.
case "$1" in
  wineboot) /bin/mkdir -p "$WINEPREFIX/drive_c/windows/syswow64" && exit 0 ;;
  regedit) exit 0 ;;
esac
exe=$(printf '%s' "$1" | /usr/bin/sed -e 's/^Z://' -e 's,\\,/,g')
dir=$(/usr/bin/dirname "$exe")
/bin/mkdir -p "$dir/Logs"
echo "client started (stand-in wine)" >>"$dir/Logs/client.log"
seconds=15 code=0
[ -r "$dir/qh_exit.txt" ] && read -r seconds code <"$dir/qh_exit.txt"
/bin/sleep "$seconds"
exit "$code"
)sh");
  executable(dir / "bin/wineserver", "#!/bin/sh\nexit 0\n");
  return false;
}

}  // namespace SampleClient

}  // namespace qh
