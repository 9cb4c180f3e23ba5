// The ready step's client work, and the video settings command.
#include <gtest/gtest.h>

#include "core/qh.h"
#include "model/ready_step.h"
#include "support/client_folder.h"
#include "support/model_fixture.h"

namespace qh {

namespace fs = std::filesystem;

namespace {

class ModelClient : public ModelFixture {
 protected:
  ModelClient() {
    QObject::connect(model.get(), &LauncherModel::detailChanged,
                     [this] { details.push_back(model->detail().toStdString()); });
  }
  void finish(std::optional<std::vector<std::string>> officialAddons) {
    runTask(ready.run("1.0", "Up to date", std::move(officialAddons)));
  }

  CompatLayer layer{*model, fakes.system, fakes.network, timing};
  ReadyStep ready{*model, layer};
  std::vector<std::string> details;
};

TEST_F(ModelClient, FinishingReconcilesTheAddonsAndSaysHowManyWent) {
  writeFile(client / "Interface/AddOns/Bagnon/Bagnon.toc", "x");
  writeFile(client / "Interface/AddOns/.junk/a", "x");
  fs::create_directories(client / "Interface/AddOns/Questie");
  fs::create_directories(client / "WTF/Account/ALICE");
  finish(std::vector<std::string>{"Questie"});
  EXPECT_EQ(namesIn(client / "Interface/AddOns"), std::set<std::string>{"Questie"});
  EXPECT_EQ(slurp(client / "WTF/Account/ALICE/AddOns.txt"), "Questie: enabled\r\n");
  ASSERT_FALSE(details.empty());
  EXPECT_EQ(details.front(), "Cleaned 2 unofficial addon folder(s).");
}

TEST_F(ModelClient, FinishingWithoutTheListLeavesAddonsButEnsuresTheClientsFiles) {
  fs::create_directories(client / "Interface/AddOns/Bagnon");
  writeFile(client / "WTF/Account/ALICE/AddOns.txt", "Bagnon: enabled\n");
  finish(std::nullopt);
  EXPECT_TRUE(fs::is_directory(client / "Interface/AddOns/Bagnon"));
  EXPECT_EQ(slurp(client / "WTF/Account/ALICE/AddOns.txt"), "Bagnon: enabled\n");
  EXPECT_EQ(slurp(client / "Data/enUS/realmlist.wtf"), "set realmlist " + QH::realmHost() + "\r\n");
  EXPECT_TRUE(slurp(client / "WTF/Config.wtf").starts_with("SET locale \"enUS\"\r\n"));
}

// PLAY prepares the layer again, so a failure here still ends ready.
TEST_F(ModelClient, FinishingEndsReadyToPlayOnceTheLayerIsInPlace) {
  finish(std::nullopt);
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_EQ(model->status(), QString::fromStdString("Up to date - but the " + osLayout().layerName +
                                                    " compatibility layer isn't ready."));
  EXPECT_TRUE(model->detail().endsWith("  Press PLAY to try again."))
      << model->detail().toStdString();

  installRuntime();
  finish(std::nullopt);
  EXPECT_EQ(model->phase(), Phase::ready);
  EXPECT_EQ(model->status(), "Up to date - ready to play!");
  EXPECT_EQ(model->detail().toStdString(), "Version 1.0    " + client.string());
  EXPECT_EQ(model->progressValue(), 1.0);
  EXPECT_EQ(model->actionTitle(), "PLAY");
}

struct VideoCase {
  const char* name;
  std::optional<std::string> before;  // Config.wtf; none: no file
  const char* status;
  std::optional<std::string> after;
};

class ResetVideo : public ModelFixture, public ::testing::WithParamInterface<VideoCase> {};

TEST_P(ResetVideo, SaysWhetherWindowedModeWasSwitchedOn) {
  const VideoCase c = GetParam();
  if (c.before) writeFile(client / "WTF/Config.wtf", *c.before);
  model->resetVideoSettings();
  EXPECT_EQ(model->status(), c.status);
  if (c.after) {
    EXPECT_EQ(slurp(client / "WTF/Config.wtf"), *c.after);
  } else {
    EXPECT_FALSE(fs::exists(client / "WTF"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Configs, ResetVideo,
    ::testing::Values(
        VideoCase{"noConfig", std::nullopt, "Video settings already windowed; resolution reset.",
                  std::nullopt},
        VideoCase{
            "fullScreen", "SET gxWindow \"0\"\r\nSET gxResolution \"1920x1080\"\r\n",
            "Video settings reset to windowed mode.",
            "SET gxWindow \"1\"\r\nSET gxResolution \"1280x800\"\r\nSET gxMaximize \"1\"\r\n"},
        VideoCase{"windowed", "SET gxWindow \"1\"\n",
                  "Video settings already windowed; resolution reset.",
                  "SET gxWindow \"1\"\nSET gxMaximize \"1\"\nSET gxResolution \"1280x800\"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
