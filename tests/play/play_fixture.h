// A launcher with a stub compatibility runtime already installed: "wine" is a
// shell script that records what it was given and then lives until the test
// tells it how to end, "wineserver -k" ends it as the real one would.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QObject>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "compat/game_process.h"
#include "compat/runtime.h"
#include "core/log.h"
#include "core/text.h"
#include "model/launcher_model.h"
#include "support/fake_clock.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh::play_test {

namespace fs = std::filesystem;

// The server knows only the runtime description.
inline QCoro::Task<std::string> serve(std::string url, std::string runtimeText) {
  if (url.find("/mac/runtime.txt") == std::string::npos) throw std::runtime_error("offline");
  co_return runtimeText;
}

// "A=B" lines of `env` output as a table, without what sh adds itself.
inline std::map<std::string, std::string> parseEnv(const std::string& text) {
  std::map<std::string, std::string> env;
  for (const std::string& line : Text::splitLines(text)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) env[line.substr(0, eq)] = line.substr(eq + 1);
  }
  for (const char* shellOwn : {"PWD", "OLDPWD", "SHLVL", "_"}) env.erase(shellOwn);
  return env;
}

class PlayFixture : public ::testing::Test {
 protected:
  PlayFixture() {
    Timing timing;
    timing.clock = clock;
    makeModel(timing);
  }

  // A model over this fixture's folders and recorders; `rosetta` stands in
  // for the Mac's.
  void makeModel(Timing timing, std::optional<RosettaHost> rosetta = std::nullopt) {
    ModelServices services;
    services.getString = [this](std::string url) { return serve(std::move(url), runtimeText); };
    services.prepareRuntime = &LauncherModel::runRuntimePreparation;
    services.hideApp = [this] { events.push_back("hide"); };
    services.unhideApp = [this] { events.push_back("unhide"); };
    services.activateApp = [this] { events.push_back("activate"); };
    services.quitApp = [this] { events.push_back("quit"); };
    services.resourcesDir = [this]() -> std::optional<fs::path> { return resources; };
    if (rosetta) services.rosetta = *rosetta;
    model = std::make_unique<LauncherModel>(std::move(services), timing);
    model->paths().stateDir = state.path();
    model->paths().installDir = client.path();
    model->paths().base = "http://127.0.0.1:9";
    Log::setFile(state / "launcher.log");
    QObject::connect(model.get(), &LauncherModel::statusChanged,
                     [this] { statuses.push_back(model->status().toStdString()); });
  }

  ~PlayFixture() override {
    // No stub may outlive its test: end any that still waits.
    if (model && model->game() && model->game()->running()) {
      ::kill(model->game()->pid(), SIGKILL);
      spinUntil([this] { return !model->game() || !model->game()->running(); });
    }
    drainEvents();
    Log::setFile(std::nullopt);
  }

  // The installed stub runtime with its prefix; `gate`: the stub waits for
  // its exit code on a pipe, else it exits at once with `code`.
  void installRuntime(bool gate = true, int code = 0) {
    std::string wine = R"sh(#!/bin/sh
echo $$ > {rec}/pid
echo start >> {rec}/starts
printf '%s\n' "$#" "$@" > {rec}/args
pwd > {rec}/cwd
/usr/bin/env > {rec}/env
echo 'stub wine says hello'
echo 'stub wine complains' >&2
)sh";
    wine += gate ? "read code < {rec}/gate\nexit \"$code\"\n" : "exit " + std::to_string(code);
    const std::string server = R"sh(#!/bin/sh
echo "$*" >> {rec}/wineserver.calls
if [ "$1" = -k ] && [ -f {rec}/pid ]; then /bin/kill "$(/bin/cat {rec}/pid)"; fi
)sh";
    writeExecutable(state / "runtime/stub/bin/wine", withRec(wine));
    writeExecutable(state / "runtime/stub/bin/wineserver", withRec(server));
    state.write("runtime/stub/.qh_complete", "stub");
    state.write("prefix-stub/.qh_prefix_stub", "");
    if (gate) ::mkfifo((rec / "gate").c_str(), 0600);
  }

  std::string withRec(std::string script) const {
    const std::string quoted = "'" + rec.path().string() + "'";
    for (size_t at; (at = script.find("{rec}")) != std::string::npos;)
      script.replace(at, 5, quoted);
    return script;
  }

  void installClient() {
    client.write("QuellhavenGame.exe", "MZ");
    resources.emplace(bundle.path());
    bundle.write("shim/version.dll", "shim bytes");
  }

  // Ready to play: runtime, prefix, client and shim in place.
  void readyToPlay(bool gate = true, int code = 0) {
    installRuntime(gate, code);
    installClient();
    model->setPhase(Phase::ready);
  }

  // Ends the gated stub with `code`, once it is waiting.
  void release(int code) {
    int fd = -1;
    ASSERT_TRUE(spinUntil([&] {
      fd = ::open((rec / "gate").c_str(), O_WRONLY | O_NONBLOCK);
      return fd >= 0;
    }));
    const std::string text = std::to_string(code) + "\n";
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
  }

  void waitForExit() {
    ASSERT_TRUE(spinUntil([this] { return model->phase() != Phase::working; }));
    drainEvents();
  }

  std::string logText() const { return slurp(state / "launcher.log"); }
  int starts() const {
    const std::string s = slurp(rec / "starts");
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
  }

  TempDir state;
  TempDir client;
  TempDir bundle;
  // Where the stubs record what they saw.
  TempDir rec;
  std::optional<fs::path> resources;
  std::string runtimeText =
      "wine_id=stub\nwine_url=runtime/stub.tar.xz\nwine_sha256=\nwine_bin=bin/wine\n"
      "dxvk_dll=dxvk/d3d9.dll\n";
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  std::vector<std::string> events;
  std::vector<std::string> statuses;
  std::unique_ptr<LauncherModel> model;
};

}  // namespace qh::play_test
