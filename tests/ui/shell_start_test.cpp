// Start-up still runs, once, when the window never draws a frame. (After a
// first frame it runs in the real launcher: shell_test.)
#include <gtest/gtest.h>

#include <QQuickWindow>

#include "app/shell.h"
#include "support/qt_wait.h"

namespace {

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
