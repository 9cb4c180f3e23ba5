// The model's seams as a test sets them up: a machine and application that
// record what they were asked, the server in memory, and a self-update that
// finds nothing newer unless told otherwise.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/model_services.h"
#include "support/fake_network.h"
#include "support/fake_rosetta.h"
#include "support/fake_wine_host.h"

namespace qh {

class FakeSystem final : public System {
 public:
  // "hide", "unhide", "activate" and "quit", in order.
  std::vector<std::string> events;
  std::optional<std::filesystem::path> resources;
  std::filesystem::path home = "/nonexistent-home";
  std::string login = "player";
  std::vector<std::filesystem::path> folders;
  // Every file reveal() was asked to show.
  std::vector<std::filesystem::path> revealed;
  FakeRosetta machine;
  // No Wine unless a test installs one.
  FakeWineHost wineHost;
  // The call ("resourcesDir", "homeDir") that throws "<name> broke", as
  // nothing in the flows expects.
  std::string broken;

  void hideApp() override { events.push_back("hide"); }
  void unhideApp() override { events.push_back("unhide"); }
  void activateApp() override { events.push_back("activate"); }
  void quitApp() override { events.push_back("quit"); }
  std::optional<std::filesystem::path> resourcesDir() const override {
    breakIf("resourcesDir");
    return resources;
  }
  std::filesystem::path homeDir() const override {
    breakIf("homeDir");
    return home;
  }
  std::string loginName() const override { return login; }
  std::vector<std::filesystem::path> saveFolders() const override { return folders; }
  void reveal(const std::filesystem::path& file) override { revealed.push_back(file); }
  const RosettaHost& rosetta() const override { return machine; }
  const WineHost& wines() const override { return wineHost; }

 private:
  void breakIf(const std::string& call) const {
    if (broken == call) throw std::runtime_error(call + " broke");
  }
};

class FakeSelfUpdater final : public SelfUpdater {
 public:
  // Reported through the model when set.
  std::optional<std::string> notice;
  // Whether a run replaces the launcher.
  bool replaces = false;
  // Thrown by a run when set, as nothing expects.
  std::optional<std::string> failure;
  int runs = 0;

  QCoro::Task<bool> run(Paths, StatusCallback report) override {
    ++runs;
    if (failure) throw std::runtime_error(*failure);
    if (notice) report(*notice, std::nullopt);
    co_return replaces;
  }
};

struct FakeServices {
  FakeSystem system;
  FakeNetwork network;
  FakeSelfUpdater selfUpdater;

  ModelServices services() { return {system, network, selfUpdater}; }
};

}  // namespace qh
