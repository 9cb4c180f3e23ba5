#include <gtest/gtest.h>

#include <QObject>

#include "core/qh.h"
#include "model/launcher_model.h"
#include "support/client_folder.h"
#include "support/qt_wait.h"
#include "support/temp_dir.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

class ModelClient : public ::testing::Test {
 protected:
  void SetUp() override {
    model.paths().installDir = client.path();
    QObject::connect(&model, &LauncherModel::detailChanged,
                     [this] { details.push_back(model.detail()); });
  }
  void finish(bool reconcile) { runTask(model.finishReady("1.0", "Up to date", reconcile)); }

  TempDir client;
  LauncherModel model{ModelServices{}};
  std::vector<QString> details;
};

TEST_F(ModelClient, FinishingReconcilesThenWritesRealmListAndConfig) {
  client.write("Interface/AddOns/Bagnon/Bagnon.toc", "x");
  client.write("Interface/AddOns/.junk/a", "x");
  fs::create_directories(client / "Interface/AddOns/Questie");
  fs::create_directories(client / "WTF/Account/ALICE");
  model.officialAddons() = {"Questie"};
  finish(true);
  EXPECT_EQ(namesIn(client / "Interface/AddOns"), std::set<std::string>{"Questie"});
  EXPECT_EQ(slurp(client / "WTF/Account/ALICE/AddOns.txt"), "Questie: enabled\r\n");
  EXPECT_EQ(slurp(client / "Data/enUS/realmlist.wtf"), "set realmlist " + QH::realmHost() + "\r\n");
  EXPECT_TRUE(slurp(client / "WTF/Config.wtf").starts_with("SET locale \"enUS\"\r\n"));
  const QString version = QString::fromStdString("Version 1.0    " + client.path().string());
  EXPECT_EQ(details, (std::vector<QString>{"Cleaned 2 unofficial addon folder(s).", version}));
  EXPECT_EQ(model.phase(), Phase::ready);
}

TEST_F(ModelClient, WithoutReconcilingAddonsStayButFilesAreEnsured) {
  fs::create_directories(client / "Interface/AddOns/Bagnon");
  client.write("WTF/Account/ALICE/AddOns.txt", "Bagnon: enabled\n");
  model.officialAddons() = {"Questie"};
  finish(false);
  EXPECT_TRUE(fs::is_directory(client / "Interface/AddOns/Bagnon"));
  EXPECT_EQ(slurp(client / "WTF/Account/ALICE/AddOns.txt"), "Bagnon: enabled\n");
  EXPECT_TRUE(fs::exists(client / "Data/enUS/realmlist.wtf"));
  EXPECT_TRUE(fs::exists(client / "WTF/Config.wtf"));
}

TEST_F(ModelClient, ResetVideoSettingsReportsWhetherWindowedModeChanged) {
  model.resetVideoSettings();  // no Config.wtf: none is made
  EXPECT_EQ(model.status(), "Video settings already windowed; resolution reset.");
  EXPECT_FALSE(fs::exists(client / "WTF"));

  client.write("WTF/Config.wtf", "SET gxWindow \"0\"\r\nSET gxResolution \"1920x1080\"\r\n");
  model.resetVideoSettings();
  EXPECT_EQ(model.status(), "Video settings reset to windowed mode.");
  EXPECT_EQ(slurp(client / "WTF/Config.wtf"),
            "SET gxWindow \"1\"\r\nSET gxResolution \"1280x800\"\r\nSET gxMaximize \"1\"\r\n");

  client.write("WTF/Config.wtf", "SET gxWindow \"1\"\n");
  model.resetVideoSettings();
  EXPECT_EQ(model.status(), "Video settings already windowed; resolution reset.");
  EXPECT_EQ(slurp(client / "WTF/Config.wtf"),
            "SET gxWindow \"1\"\nSET gxMaximize \"1\"\nSET gxResolution \"1280x800\"\n");
}

}  // namespace

}  // namespace qh
