// Each state the window can be in, rendered to a PNG and checked through the
// item tree and, where colour is the point, through its pixels.
#include <QFont>
#include <cmath>

#include "ui/glow_images.h"
#include "window_fixture.h"

namespace qh {

namespace {

// The right end of the amber fill along the track's middle row, in pixels from
// the track's left edge; 0 when no fill.
int fillExtent(const QImage& image, QQuickItem* track) {
  const QPointF origin = track->mapToScene(QPointF(0, track->height() / 2));
  int extent = 0;
  for (int x = 0; x < int(track->width()); ++x) {
    const QColor c = image.pixelColor(int(origin.x()) + x, int(origin.y()));
    if (c.red() > 110 && c.red() > c.blue() + 40) extent = x + 1;
  }
  return extent;
}

// The install card and INSTALL without a client, RETRY with one: an
// executable that lands in the middle of an install, or goes, shows at the
// next change the model publishes.
TEST_F(WindowTest, TheInstallCardAndRetryFollowTheExecutable) {
  auto expectAction = [&](const QImage& image, bool client) {
    EXPECT_EQ(textOf("greeting"),
              client ? "W E L C O M E   B A C K" : "B E G I N   Y O U R   J O U R N E Y");
    EXPECT_EQ(textOf("actionTitle"), client ? "RETRY" : "INSTALL");
    EXPECT_EQ(item("actionIcon")->property("name").toString(),
              client ? "arrow.clockwise" : "arrow.down.circle.fill");
    EXPECT_LE(colourDistance(image.pixelColor(centre("statusDot")),
                             client ? Theme::bad() : Theme::textDim()),
              6);
    EXPECT_EQ(shown("installCard"), !client);
  };
  open();
  driveTo(Phase::needInstall, "Choose where to install Quellhaven, then press Install.");
  model->setDetail("The full client is about 30 GB.");
  expectAction(shot("need-install"), false);
  EXPECT_EQ(textOf("installField"), model->installPath());
  EXPECT_TRUE(item("primaryButton")->isEnabled());
  EXPECT_FALSE(visible("speedChip"));
  EXPECT_FALSE(visible("versionChip"));
  EXPECT_EQ(textOf("statusText"), model->status());
  EXPECT_EQ(textOf("detailText"), "The full client is about 30 GB.");
  EXPECT_EQ(item("actionTitle")->property("font").value<QFont>().weight(), QFont::ExtraBold);

  driveTo(Phase::working, "Downloading 1 of 300   0.0 / 0.1 GB");
  placeClient();
  model->setStatus("Downloading 2 of 300   0.0 / 0.1 GB");
  drainEvents();
  shot("executable-landed");
  EXPECT_EQ(textOf("greeting"), "W E L C O M E   B A C K");
  model->setPhase(Phase::needInstall);
  drainEvents();
  expectAction(shot("need-install-retry"), true);

  std::filesystem::remove(model->paths().installDir / "Wow.exe");
  model->setDetail("Last error: gone");
  drainEvents();
  expectAction(shot("executable-gone"), false);
}

// Working without progress; the client version shows once it is known.
TEST_F(WindowTest, WorkingWithoutProgressShimmersAndDisablesTheButton) {
  open();
  driveTo(Phase::working, "Checking files...");
  const QImage image = shot("working-busy");
  EXPECT_EQ(textOf("actionTitle"), "WORKING.");
  EXPECT_EQ(item("actionIcon")->property("name").toString(), "arrow.triangle.2.circlepath");
  EXPECT_FALSE(item("primaryButton")->isEnabled());
  EXPECT_TRUE(visible("speedChip"));
  EXPECT_TRUE(visible("progressShimmer"));
  EXPECT_FALSE(visible("progressFill"));
  EXPECT_FALSE(shown("installCard"));
  EXPECT_FALSE(visible("versionChip"));
  EXPECT_LE(colourDistance(image.pixelColor(centre("statusDot")), Theme::accent()), 6);

  model->setGameVersion("v3.3.5");
  drainEvents();
  shot("version-known");
  EXPECT_TRUE(visible("versionChip"));
  EXPECT_EQ(textOf("versionText"), "Client v3.3.5");
}

TEST_F(WindowTest, ReadyOffersPlayAndWorkingDrawsTheButtonAtFiftyFivePercentWithoutGlow) {
  placeClient("QuellhavenGame.exe");
  open();
  model->setDetail("Version 3.3.5    /games/Quellhaven");
  QQuickItem* button = item("primaryButton");
  // A point inside the body at mid height (the accent stop) clear of the label;
  // one just beside it that only the glow reaches; one on the dock above it.
  struct Points {
    QPoint inside, beside, dock;
  };
  auto points = [&] {
    return Points{button->mapToScene(QPointF(8, button->height() / 2)).toPoint(),
                  button->mapToScene(QPointF(-5, button->height() / 2)).toPoint(),
                  button->mapToScene(QPointF(8, -14)).toPoint()};
  };
  driveTo(Phase::ready, "Up to date - ready to play!", 1.0);
  const QImage enabled = shot("ready");
  const Points on = points();
  EXPECT_EQ(textOf("actionTitle"), "PLAY");
  EXPECT_EQ(item("actionIcon")->property("name").toString(), "play.fill");
  EXPECT_TRUE(button->isEnabled());
  EXPECT_FALSE(visible("speedChip"));
  EXPECT_FALSE(shown("installCard"));
  EXPECT_LE(colourDistance(enabled.pixelColor(centre("statusDot")), Theme::ok()), 6);

  driveTo(Phase::working, "Working", 1.0);
  const QImage disabled = shot("working-for-button");
  const Points off = points();

  const QColor body = enabled.pixelColor(on.inside);
  EXPECT_LE(colourDistance(body, Theme::accent()), 12) << body.name().toStdString();
  const QColor dock = disabled.pixelColor(off.dock);
  const QColor dimmed = disabled.pixelColor(off.inside);
  auto mix = [](int a, int b) { return int(std::lround(0.55 * a + 0.45 * b)); };
  const QColor expected(mix(body.red(), dock.red()), mix(body.green(), dock.green()),
                        mix(body.blue(), dock.blue()));
  EXPECT_LE(colourDistance(dimmed, expected), 8)
      << dimmed.name().toStdString() << " vs " << expected.name().toStdString();
  // The glow lightens the dock beside the enabled button only.
  EXPECT_GT(enabled.pixelColor(on.beside).red(), disabled.pixelColor(off.beside).red() + 8);
  EXPECT_LE(colourDistance(disabled.pixelColor(off.beside), dock), 6);
}

TEST_F(WindowTest, ProgressFillClampsToTheTrack) {
  open();
  QQuickItem* track = item("progressTrack");
  struct Case {
    double value;
    const char* name;
  };
  for (const Case c : {Case{0.0, "progress-0"}, Case{0.5, "progress-half"},
                       Case{1.7, "progress-over"}, Case{std::nan(""), "progress-nan"}}) {
    driveTo(Phase::working, "Downloading", c.value);
    const QImage image = shot(c.name);
    const double w = track->width();
    const double expected = std::isnan(c.value) ? 8 : std::max(8.0, w * std::min(c.value, 1.0));
    EXPECT_NEAR(item("progressFill")->width(), expected, 0.5) << c.name;
    EXPECT_NEAR(fillExtent(image, track), expected, 2) << c.name;
  }
  driveTo(Phase::needInstall, "Idle");
  EXPECT_FALSE(visible("progressFill"));
  EXPECT_FALSE(visible("progressShimmer"));
  EXPECT_EQ(fillExtent(shot("progress-none"), track), 0);
}

TEST_F(WindowTest, AlertShowsUntilDismissedWithOk) {
  open();
  driveTo(Phase::ready, "Up to date - ready to play!", 1.0);
  model->showAlert("The game quit unexpectedly", "It ran for only 3 seconds.");
  drainEvents();
  shot("alert");
  QObject* popup = window->find("alert");
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(popup->property("visible").toBool());
  EXPECT_EQ(popup->property("title").toString(), "The game quit unexpectedly");
  EXPECT_EQ(window->find("alertBody")->property("text").toString(), "It ran for only 3 seconds.");
  QMetaObject::invokeMethod(popup, "accept");
  ASSERT_TRUE(spinUntil([&] { return !model->hasAlert(); }, 3000));
  EXPECT_FALSE(popup->property("visible").toBool());
}

// Pictures are made on other threads, started before the view asks for them;
// the window waits for them, so even its first frame shows the logo, its glow,
// the backdrop and the button's glow.
TEST_F(WindowTest, TheFirstFrameHasEveryPicture) {
  theme = std::make_unique<Theme>(std::filesystem::path(QH_RESOURCES), false);
  window = std::make_unique<LauncherWindow>(*model, *theme,
                                            LauncherWindow::startPictures(*theme, {900, 560}));
  EXPECT_TRUE(window->picturesLoading());
  std::optional<bool> loadingAtFirstFrame;
  QObject::connect(window.get(), &QQuickWindow::frameSwapped, window.get(), [&] {
    if (!loadingAtFirstFrame) loadingAtFirstFrame = window->picturesLoading();
  });
  window->showWhenLoaded();
  ASSERT_TRUE(spinUntil([&] { return loadingAtFirstFrame.has_value(); }));
  EXPECT_FALSE(*loadingAtFirstFrame);
  EXPECT_TRUE(visible("logo"));
  EXPECT_GT(item("primaryGlow")->width(), 0);
  // The tunnel picture darkens the corner the bare gradient leaves at bgTop.
  EXPECT_GT(colourDistance(shot("first-frame").pixelColor({2, 2}), Theme::bgTop()), 2);
  // Exactly the pictures the view showed were started early.
  EXPECT_EQ(window->pictures().unclaimed(), QStringList());
  EXPECT_EQ(window->pictures().unforeseen(), QStringList());
}

// Pictures that are missing and pictures that do not decode are left out alike.
TEST_F(WindowTest, MissingPicturesLeaveTheLayoutCentred) {
  const std::filesystem::path broken = home / "broken-resources";
  std::filesystem::create_directories(broken);
  std::ofstream(broken / "logo.png") << "\x89PNG\r\n\x1a\n not really a picture";
  std::ofstream(broken / "tunnel.jpg") << "\xff\xd8\xff\xe0 not really a picture";
  for (const auto& [resources, name] :
       {std::pair(home / "no-resources", "no-pictures"), std::pair(broken, "broken-pictures")}) {
    SCOPED_TRACE(name);
    open(resources);
    driveTo(Phase::needInstall, "Choose where to install Quellhaven, then press Install.");
    const QImage image = shot(name);
    EXPECT_FALSE(visible("logo"));
    EXPECT_LE(colourDistance(image.pixelColor({2, 2}), Theme::bgTop()), 1) << "the bare gradient";
    EXPECT_TRUE(visible("installCard"));
    QQuickItem* hero = item("hero");
    QQuickItem* content = item("heroContent");
    const QPointF heroMid = hero->mapToScene(QPointF(hero->width() / 2, hero->height() / 2));
    const QPointF contentMid =
        content->mapToScene(QPointF(content->width() / 2, content->height() / 2));
    EXPECT_NEAR(contentMid.x(), heroMid.x(), 1);
    EXPECT_NEAR(contentMid.y(), heroMid.y(), 1);
    EXPECT_LT(content->width(), 460) << "the column alone, without the logo";
  }
}

TEST_F(WindowTest, HeroScalesWithTheAreaUpToOneAndAHalf) {
  open();
  driveTo(Phase::ready, "Ready", 1.0);
  QQuickItem* hero = item("hero");
  QQuickItem* content = item("heroContent");
  for (const QSize size : {QSize(760, 500), QSize(900, 560), QSize(1200, 620), QSize(1500, 1000)}) {
    window->resize(size);
    drainEvents();
    shot("size-" + std::to_string(size.width()) + "x" + std::to_string(size.height()));
    const double expected = std::min({hero->width() / 760, hero->height() / 330, 1.5});
    EXPECT_NEAR(content->scale(), expected, 1e-6) << size.width() << "x" << size.height();
  }
  EXPECT_DOUBLE_EQ(content->scale(), 1.5);
}

// The shimmer sweeps past the track's ends; what lies outside the rounded
// groove stays the dock's colour, also where the shimmer is at its brightest.
TEST_F(WindowTest, TheShimmerStaysInsideTheRoundedGroove) {
  open();
  driveTo(Phase::working, "Checking files...");
  QQuickItem* shimmer = item("progressShimmer");
  QQuickItem* track = item("progressTrack");
  // The pixels at the track's two top corners lie outside its rounded ends.
  const QPoint corner = track->mapToScene(QPointF(0, 0)).toPoint();
  const QPoint farCorner = track->mapToScene(QPointF(track->width() - 1, 0)).toPoint();
  // Far from both ends: the groove's own corners.
  shimmer->setProperty("t", 0.7);
  const QImage idle = shot("shimmer-middle");
  // Its brightest middle on the leading end, then on the trailing end.
  shimmer->setProperty("t", 1.4 / 6);
  const QImage leading = shot("shimmer-leading-end");
  shimmer->setProperty("t", 1.4 * (1.25 / 1.5));
  const QImage trailing = shot("shimmer-trailing-end");
  EXPECT_LE(colourDistance(leading.pixelColor(corner), idle.pixelColor(corner)), 3);
  EXPECT_LE(colourDistance(trailing.pixelColor(farCorner), idle.pixelColor(farCorner)), 3);
  // Inside the groove the shimmer does show.
  const QPoint inside =
      track->mapToScene(QPointF(track->height() / 2, track->height() / 2)).toPoint();
  EXPECT_GT(colourDistance(leading.pixelColor(inside), idle.pixelColor(inside)), 40);
}

}  // namespace

}  // namespace qh
