// A model over fresh folders and fake seams, built as app/main.cpp builds one
// over real ones, with the server's runtime description at hand: a test
// drives it through its commands, or builds a flow over it and awaits that.
#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/os_layout.h"
#include "model/compat_layer.h"
#include "model/launcher_model.h"
#include "support/fake_clock.h"
#include "support/fake_services.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh {

class ModelFixture : public ::testing::Test {
 protected:
  ModelFixture() {
    timing.clock = clock;
    std::filesystem::create_directories(state);
    Log::setFile(state / "launcher.log");
    fakes.network.texts["/" + osLayout().runtimeDescription] = runtimeText;
    rebuild();
  }
  ~ModelFixture() override {
    drainEvents();
    Log::setFile(std::nullopt);
  }

  // A new model over paths(), the fakes and the timing as they are now.
  void rebuild() {
    statuses.clear();
    model = std::make_unique<LauncherModel>(paths(), fakes.services(), timing);
    QObject::connect(model.get(), &LauncherModel::statusChanged,
                     [this] { statuses.push_back(model->status().toStdString()); });
  }

  Paths paths() const { return {base, state, client}; }
  std::string logText() const { return slurp(state / "launcher.log"); }

  // The runtime the server describes, installed with its prefix, so
  // preparing the layer has nothing left to do.
  void installRuntime(const std::string& wine = "#!/bin/sh\n",
                      const std::string& wineserver = "#!/bin/sh\n") {
    writeExecutable(state / "runtime/stub/bin/wine", wine);
    writeExecutable(state / "runtime/stub/bin/wineserver", wineserver);
    writeFile(state / "runtime/stub/.qh_complete", "stub");
    writeFile(state / "prefix-stub/.qh_prefix_stub", "");
  }

  TempDir dir;
  std::filesystem::path state = dir / "state";
  std::filesystem::path client = dir / "client";
  // Nothing listens there: the update engine's requests fail at once.
  std::string base = "http://127.0.0.1:9";
  std::string runtimeText =
      "wine_id=stub\nwine_url=runtime/stub.tar.xz\nwine_sha256=\nwine_bin=bin/wine\n"
      "dxvk_dll=dxvk/d3d9.dll\n";
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  Timing timing;
  FakeServices fakes;
  std::unique_ptr<LauncherModel> model;
  // Every status the model showed, in order.
  std::vector<std::string> statuses;
};

}  // namespace qh
