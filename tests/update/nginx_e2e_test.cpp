// A whole install through the primary action from a published client served
// by nginx, as a production static host would serve it.
#include <gtest/gtest.h>

#include <fstream>

#include "model/launcher_model.h"
#include "support/nginx.h"
#include "support/run_tool.h"
#include "tools/sample/sample_client.h"

namespace fs = std::filesystem;

namespace {

TEST(NginxEndToEnd, InstallsByteIdenticalAndRepairsAfterDamage) {
  if (!Nginx::available()) GTEST_SKIP() << "no " << Nginx::binary;
  TempDir home;
  setenv("HOME", home.path().c_str(), 1);
  setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  SampleClient::generate(home / "source", 200 << 20, 80);
  const auto published = runTool(
      QH_PUBLISH, {(home / "source").string(), (home / "www").string(), "--version", "3.3.5"});
  ASSERT_EQ(published.exitCode, 0) << published.err;
  Nginx nginx(home / "www");
  ASSERT_TRUE(nginx.ok()) << nginx.errorLog();

  ModelServices services;
  services.sync = &LauncherModel::runUpdateEngine;
  LauncherModel model(services);
  model.paths().base = nginx.url();
  model.setPhase(Phase::needInstall);
  model.setInstallPath(QString::fromStdString((home / "Games/Quellhaven").string()));
  model.primaryAction();
  ASSERT_TRUE(spinUntil([&] { return model.phase() != Phase::working; }, 180000));
  EXPECT_EQ(model.status(), "Installed - ready to play!") << model.detail().toStdString();
  std::string difference;
  EXPECT_TRUE(SampleClient::sameFiles(home / "source", home / "Games/Quellhaven", &difference))
      << difference;

  // A damaged byte of the right size is found by the forced verification only.
  const fs::path damaged = home / "Games/Quellhaven/Data/common.MPQ";
  {
    std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(12345);
    const char byte = static_cast<char>(f.get());
    f.seekp(12345);
    f.put(static_cast<char>(~byte));
  }
  model.verifyRepair();
  ASSERT_TRUE(spinUntil([&] { return model.phase() != Phase::working; }, 180000));
  EXPECT_EQ(model.status(), "Installed - ready to play!");
  EXPECT_TRUE(SampleClient::sameFiles(home / "source", home / "Games/Quellhaven", &difference))
      << difference;
}

}  // namespace
