// Start-up as the window starts it: the steps after the self-update, the
// install prompt without a client, the update check with one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

TEST_F(Startup, WithoutAClientItAsksWhereToInstall) {
  startAndSettle();
  EXPECT_EQ(model->phase(), Phase::needInstall);
  EXPECT_EQ(model->status(), "Choose where to install Quellhaven, then press Install.");
  EXPECT_EQ(model->detail(), "The full client is about 30 GB.");
  EXPECT_EQ(model->actionTitle(), "INSTALL");
}

TEST_F(Startup, WithAClientTheUpdateCheckRunsAndAFailedOneEndsReady) {
  writeFile(client / "Wow.exe", "MZ");
  startAndSettle();
  EXPECT_TRUE(showed("Checking for updates..."));
  EXPECT_TRUE(model->status().startsWith("Problem: ")) << model->status().toStdString();
  EXPECT_EQ(model->phase(), Phase::ready);
}

TEST_F(Startup, StartingTwiceRunsTheSequenceOnce) {
  model->start();
  model->start();
  ASSERT_TRUE(spinUntil([this] { return model->phase() != Phase::working; }));
  drainEvents();
  EXPECT_EQ(fakes.selfUpdater.runs, 1);
  EXPECT_EQ(
      std::count_if(fakes.network.requested.begin(), fakes.network.requested.end(),
                    [](const std::string& url) { return url.find("/runtime.txt") != url.npos; }),
      1);
}

// The notice is posted, so it may land after the install prompt, but it lands.
TEST_F(Startup, TheSelfUpdatesNoticeIsShown) {
  fakes.selfUpdater.notice = "Checking for launcher update...";
  startAndSettle();
  EXPECT_TRUE(showed("Checking for launcher update..."));
}

TEST_F(Startup, TheVersionLabelIsFetchedCacheBusted) {
  fakes.network.texts["/game_version.txt"] = "1.2.3\n";
  startAndSettle();
  ASSERT_TRUE(spinUntil([this] { return !model->gameVersion().isEmpty(); }));
  EXPECT_EQ(model->gameVersion(), "v1.2.3");
  EXPECT_THAT(fakes.network.requested,
              ::testing::Contains(::testing::MatchesRegex(
                  "http://127\\.0\\.0\\.1:9/game_version\\.txt\\?t=[0-9]{13}")));
}

struct VersionCase {
  const char* name;
  std::optional<std::string> served;
};

class VersionLabel : public ModelFixture, public ::testing::WithParamInterface<VersionCase> {};

// Whatever the server says that is not a version leaves the label empty.
TEST_P(VersionLabel, StaysEmpty) {
  if (GetParam().served) fakes.network.texts["/game_version.txt"] = *GetParam().served;
  model->start();
  ASSERT_TRUE(spinUntil([this] { return model->phase() != Phase::working; }));
  ASSERT_TRUE(spinUntil([this] {
    return std::any_of(fakes.network.requested.begin(), fakes.network.requested.end(),
                       [](const std::string& url) { return url.find("game_version") != url.npos; });
  }));
  drainEvents();
  EXPECT_EQ(model->gameVersion(), "");
}

INSTANTIATE_TEST_SUITE_P(Answers, VersionLabel,
                         ::testing::Values(VersionCase{"notFound", std::nullopt},
                                           VersionCase{"blank", " \r\n"},
                                           VersionCase{"webPage", "<html>sign in</html>"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

}  // namespace qh
