// Starting the client under wine, and stopping every Wine process.
#include <fcntl.h>
#include <unistd.h>

#include "compat/game_process.h"
#include "compat/program.h"
#include "compat/runtime.h"
#include "compat/system_wine.h"
#include "core/log.h"
#include "platform/unique_fd.h"

namespace qh {

namespace fs = std::filesystem;

std::map<std::string, std::string> Runtime::launchEnvironment(bool verbose, bool dxvk) const {
  std::map<std::string, std::string> env = environment(verbose);
  if (!dxvk) {
    // Also those the launcher itself inherited: a stray DXVK_HUD must not
    // reach a client that runs without DXVK.
    for (const char* key : {"DXVK_ASYNC", "DXVK_LOG_LEVEL", "DXVK_STATE_CACHE_PATH", "DXVK_HUD"}) {
      env.erase(key);
    }
  }
  std::string overrides = env.count("WINEDLLOVERRIDES") ? env["WINEDLLOVERRIDES"] : "";
  overrides += ";version=n,b";
  if (dxvk) overrides += ";d3d9=n";
  env.insert_or_assign("WINEDLLOVERRIDES", std::move(overrides));
  // A dead local port: the client and Wine reach nothing through a proxy.
  env.insert_or_assign("http_proxy", std::string("http://127.0.0.1:9"));
  env.insert_or_assign("HTTP_PROXY", std::string("http://127.0.0.1:9"));
  return env;
}

std::shared_ptr<GameProcess> Runtime::launchGame(const fs::path& shim, bool verbose) const {
  const auto w = wine();
  if (!w) throw RuntimeError::missingBinary("wine");
  installShim(shim);
  const bool dxvk = installDxvk();
  GameProcess::Launch launch;
  launch.environment = launchEnvironment(verbose, dxvk);
  Log::line(std::string("launch: dxvk=") + (dxvk ? "true" : "false") +
            " runtime=" + (spec_ ? spec_->id : std::string("?")));
  launch.executable = *w;
  launch.args = {windowsPath(paths_.gameExe())};
  launch.workingDir = paths_.installDir;
  // Each launch starts a fresh log: wineboot's output of earlier runs goes.
  const UniqueFd log(::open(wineLog().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  launch.outputFd = log.get();
  std::error_code ignored;
  fs::create_directories(paths_.installDir / "Logs", ignored);
  return GameProcess::start(launch);
}

QCoro::Task<> Runtime::killWine() const {
  const auto server = wineserver();
  if (!server) co_return;
  // The system's Wine is known through its host alone.
  if (spec_->systemWine && !wines_->isExecutable(*server)) co_return;
  if (::access(server->c_str(), X_OK) != 0) co_return;
  std::error_code ec;
  if (!fs::is_regular_file(*server, ec)) co_return;
  co_await Program::run(*server, {"-k"}, environment(false), std::nullopt);
}

}  // namespace qh
