// Start-up as the window starts it: the steps after the self-update, the
// install prompt without a client, the update check with one.
#include <gtest/gtest.h>

#include <regex>

#include "support/model_fixture.h"

namespace qh {

namespace {

class Startup : public ModelFixture {
 protected:
  void startAndSettle() {
    model->start();
    ASSERT_TRUE(spinUntil([this] { return model->phase() != Phase::working; }));
    drainEvents();
  }
  bool showed(const std::string& status) const {
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
  }
};

// Started twice, the sequence runs once. The self-update's notice is posted,
// so it may land after the install prompt, but it lands.
TEST_F(Startup, WithoutAClientItRunsOnceAndAsksWhereToInstall) {
  fakes.selfUpdater.notice = "Checking for launcher update...";
  model->start();
  startAndSettle();
  EXPECT_EQ(model->phase(), Phase::needInstall);
  EXPECT_EQ(model->status(), "Choose where to install Quellhaven, then press Install.");
  EXPECT_EQ(model->detail(), "The full client is about 30 GB.");
  EXPECT_EQ(model->actionTitle(), "INSTALL");
  EXPECT_TRUE(showed("Checking for launcher update..."));
  EXPECT_EQ(fakes.selfUpdater.runs, 1);
  EXPECT_EQ(
      std::count_if(fakes.network.requested.begin(), fakes.network.requested.end(),
                    [](const std::string& url) { return url.find("/runtime.txt") != url.npos; }),
      1);
}

TEST_F(Startup, WithAClientTheUpdateCheckRunsAndAFailedOneEndsReady) {
  writeFile(client / "Wow.exe", "MZ");
  startAndSettle();
  EXPECT_TRUE(showed("Checking for updates..."));
  EXPECT_TRUE(model->status().startsWith("Problem: ")) << model->status().toStdString();
  EXPECT_EQ(model->phase(), Phase::ready);
}

struct VersionCase {
  const char* name;
  std::optional<std::string> served;
  const char* label;
};

class VersionLabel : public ModelFixture, public ::testing::WithParamInterface<VersionCase> {};

// Fetched cache-busted; whatever the server says that is not a version
// leaves the label empty.
TEST_P(VersionLabel, ShowsOnlyAVersion) {
  if (GetParam().served) fakes.network.texts["/game_version.txt"] = *GetParam().served;
  model->start();
  ASSERT_TRUE(spinUntil([this] { return model->phase() != Phase::working; }));
  const std::regex busted("http://127\\.0\\.0\\.1:9/game_version\\.txt\\?t=[0-9]{13}");
  ASSERT_TRUE(spinUntil([&] {
    return std::any_of(fakes.network.requested.begin(), fakes.network.requested.end(),
                       [&](const std::string& url) { return std::regex_match(url, busted); });
  }));
  drainEvents();
  EXPECT_EQ(model->gameVersion(), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(Answers, VersionLabel,
                         ::testing::Values(VersionCase{"version", "1.2.3\n", "v1.2.3"},
                                           VersionCase{"notFound", std::nullopt, ""},
                                           VersionCase{"blank", " \r\n", ""},
                                           VersionCase{"webPage", "<html>sign in</html>", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
