// A launcher ready to play over a stub compatibility runtime: "wine" is a
// shell script that records what it was given and then lives until the test
// tells it how to end; "wineserver -k" ends it as the real one would. The
// flows are built over the fixture's model, and tests await them.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <string>

#include "compat/runtime.h"
#include "core/text.h"
#include "model/play_flow.h"
#include "model/ready_step.h"
#include "model/reset_flow.h"
#include "support/model_fixture.h"

namespace qh::play_test {

namespace fs = std::filesystem;

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

class PlayFixture : public ModelFixture {
 protected:
  ~PlayFixture() override {
    // No stub may outlive its test: end any that still waits.
    if (play.running()) {
      std::string pid;
      spinUntil([&] { return !(pid = Text::trimWhitespace(slurp(rec / "pid"))).empty(); });
      if (!pid.empty()) ::kill(std::stoi(pid), SIGKILL);
      spinUntil([this] { return !play.running(); });
    }
    // A game's end reaches the flow through the event loop some time after
    // running() turns false; the flow must not go before it arrives.
    if (fs::exists(rec / "pid")) spinUntil([this] { return model->phase() != Phase::working; });
    drainEvents();
  }

  // The stub runtime in place; `gate`: the stub waits for its exit code on a
  // pipe, else it exits at once with `code`.
  void installStubs(bool gate = true, int code = 0) {
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
    installRuntime(withRec(wine), withRec(server));
    fs::create_directories(rec);
    if (gate) ::mkfifo((rec / "gate").c_str(), 0600);
  }

  std::string withRec(std::string script) const {
    const std::string quoted = "'" + rec.string() + "'";
    for (size_t at; (at = script.find("{rec}")) != std::string::npos;)
      script.replace(at, 5, quoted);
    return script;
  }

  void installClient() {
    writeFile(client / "QuellhavenGame.exe", "MZ");
    writeFile(bundle / "shim/version.dll", "shim bytes");
    fakes.system.resources = bundle;
  }

  // Ready to play: runtime, prefix, client and shim in place.
  void readyToPlay(bool gate = true, int code = 0) {
    installStubs(gate, code);
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

  int starts() const {
    const std::string s = slurp(rec / "starts");
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
  }

  fs::path bundle = dir / "bundle";
  // Where the stubs record what they saw.
  fs::path rec = dir / "rec";
  CompatLayer layer{*model, fakes.system, fakes.network, timing};
  PlayFlow play{*model, fakes.system, layer, timing};
  ReadyStep ready{*model, layer};
  ResetFlow reset{*model, layer, ready};
};

}  // namespace qh::play_test
