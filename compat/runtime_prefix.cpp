// The Wine environment and the prefix preparation.
#include <system_error>

#include "compat/program.h"
#include "compat/runtime.h"
#include "core/async.h"
#include "core/files.h"
#include "core/log.h"

extern char** environ;

namespace qh {

namespace fs = std::filesystem;

namespace {

// REGEDIT4 text: CR LF after every line, no empty line at the end.
constexpr std::string_view kRegistry =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Wine\\Mac Driver]\r\n"
    "\"LeftOptionIsAlt\"=\"y\"\r\n"
    "\"RightOptionIsAlt\"=\"y\"\r\n"
    "\"CaptureDisplaysForFullscreen\"=\"n\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Wine\\Direct3D]\r\n"
    "\"renderer\"=\"gl\"\r\n"
    "\"VideoMemorySize\"=\"2048\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\r\n"
    "\"winemenubuilder.exe\"=\"\"\r\n"
    "\"mscoree\"=\"\"\r\n"
    "\"mshtml\"=\"\"\r\n";

std::map<std::string, std::string> ownEnvironment() {
  std::map<std::string, std::string> env;
  for (char** e = environ; e && *e; ++e) {
    const std::string_view entry = *e;
    const auto eq = entry.find('=');
    if (eq == std::string_view::npos) continue;
    env.emplace(entry.substr(0, eq), entry.substr(eq + 1));
  }
  return env;
}

// Every "prefix" and "prefix-*" entry of the support folder except `current`.
void removePrefixesBut(const fs::path& stateDir, const fs::path& current) {
  std::error_code ec;
  fs::directory_iterator it(stateDir, ec);
  if (ec) return;
  std::vector<fs::path> doomed;
  for (const auto& entry : it) {
    const std::string name = entry.path().filename().string();
    if ((name == "prefix" || name.starts_with("prefix-")) && name != current.string()) {
      doomed.push_back(entry.path());
    }
  }
  for (const auto& path : doomed) fs::remove_all(path, ec);
}

void report(const StatusCallback& status, const std::string& text) {
  if (status) status(text, std::nullopt);
}

}  // namespace

std::map<std::string, std::string> Runtime::environment(bool verbose) const {
  std::map<std::string, std::string> env = ownEnvironment();
  const auto set = [&env](const char* key, const std::string& value) { env[key] = value; };
  set("WINEPREFIX", prefixDir().string());
  if (const auto lib = libraryDir()) set("DYLD_FALLBACK_LIBRARY_PATH", lib->string() + ":/usr/lib");
  set("WINEDEBUG", verbose ? "err+all,warn+seh,+loaddll,fixme-all" : "-all");
  set("WINEDLLOVERRIDES", "mscoree=;mshtml=;winemenubuilder.exe=");
  set("MVK_CONFIG_LOG_LEVEL", "0");
  if (dxvkSource()) {
    set("DXVK_ASYNC", "1");
    set("DXVK_LOG_LEVEL", verbose ? "warn" : "none");
    set("DXVK_STATE_CACHE_PATH", dxvkCacheDir().string());
    if (verbose) set("DXVK_HUD", "fps");
  }
  if (const auto w = wine()) {
    const auto path = env.find("PATH");
    set("PATH", w->parent_path().string() + ":" +
                    (path == env.end() ? std::string("/usr/bin:/bin") : path->second));
  }
  return env;
}

bool Runtime::prefixReady() const {
  std::error_code ec;
  return fs::exists(prefixMarker(), ec);
}

QCoro::Task<> Runtime::preparePrefix(StatusCallback status) {
  const auto w = wine();
  if (!w || !spec_) co_return;
  if (prefixReady()) co_return;
  report(status, "Setting up the Windows environment (first run takes a minute)...");
  const Program::Environment env = environment(false);
  const fs::path log = wineLog();
  const fs::path server = *wineserver();

  const int booted = co_await Program::run(*w, {"wineboot", "--init"}, env, log);
  co_await Program::run(server, {"-w"}, env, log);
  if (booted != 0) throw RuntimeError::wineboot(booted);

  const fs::path reg = registryFile();
  co_await onWorker([reg] {
    if (const std::error_code err = Files::writeAtomic(reg, kRegistry)) {
      throw std::system_error(err, "write " + reg.string());
    }
  });
  co_await Program::run(*w, {"regedit", "/S", windowsPath(reg)}, env, log);
  co_await Program::run(server, {"-w"}, env, log);

  co_await onWorker(
      [marker = prefixMarker(), stateDir = paths_.stateDir, current = prefixDir().filename()] {
        Files::writeAtomic(marker, "");
        removePrefixesBut(stateDir, current);
      });
}

void Runtime::removeOtherPrefixes() const {
  removePrefixesBut(paths_.stateDir, prefixDir().filename());
}

}  // namespace qh
