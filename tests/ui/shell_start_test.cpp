// Start-up waits for the window's first frame, runs once, and still runs when
// no frame ever comes.
#include <gtest/gtest.h>

#include <QQuickWindow>

#include "app/shell.h"
#include "support/qt_wait.h"

namespace qh {

namespace {

TEST(StartAfterFirstFrame, RunsOnceRightAfterTheFirstFrame) {
  QQuickWindow window;
  window.resize(120, 80);
  int frames = 0;
  QObject::connect(&window, &QQuickWindow::frameSwapped, &window, [&] { ++frames; });
  int runs = 0;
  int framesAtStart = -1;
  Shell::startAfterFirstFrame(
      window,
      [&] {
        ++runs;
        framesAtStart = frames;
      },
      60000);
  drainEvents();
  EXPECT_EQ(runs, 0) << "nothing shown yet";

  window.show();
  ASSERT_TRUE(spinUntil([&] { return runs > 0; }));
  EXPECT_EQ(framesAtStart, 1);
  window.update();
  ASSERT_TRUE(spinUntil([&] { return frames >= 2; }));
  drainEvents();
  EXPECT_EQ(runs, 1);
}

TEST(StartAfterFirstFrame, AWindowThatNeverDrawsStillStarts) {
  QQuickWindow window;
  int runs = 0;
  Shell::startAfterFirstFrame(
      window, [&] { ++runs; }, 0);
  EXPECT_EQ(runs, 0) << "never from inside the call";
  ASSERT_TRUE(spinUntil([&] { return runs > 0; }));

  int frames = 0;
  QObject::connect(&window, &QQuickWindow::frameSwapped, &window, [&] { ++frames; });
  window.resize(120, 80);
  window.show();
  ASSERT_TRUE(spinUntil([&] { return frames > 0; }));
  drainEvents();
  EXPECT_EQ(runs, 1);
}

}  // namespace

}  // namespace qh
