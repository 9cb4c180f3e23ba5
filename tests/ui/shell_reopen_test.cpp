// The shell's platform choices that run on every system: how the settings are
// named, and how a minimised, hidden or closed window comes back.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QQuickWindow>
#include <algorithm>

#include "app/command_line.h"
#include "app/shell.h"
#include "support/qt_wait.h"

namespace qh {

namespace {

// What Qt makes the macOS preferences domain of: the organisation domain's
// parts reversed, then the application name.
QString macPreferencesDomain(const CommandLine::ApplicationNames& names) {
  QStringList parts = names.organizationDomain.split('.');
  std::reverse(parts.begin(), parts.end());
  return parts.join('.') + '.' + names.application;
}

// Elsewhere the settings stay where they were.
TEST(ApplicationNames, OnMacTheSettingsDomainIsTheBundleIdentifier) {
  for (const std::string id :
       {"net.quellhaven.launcher", "com.example.games.quellhaven-launcher"}) {
    const CommandLine::ApplicationNames names = CommandLine::applicationNames(id, true);
    EXPECT_EQ(macPreferencesDomain(names).toStdString(), id);
    EXPECT_EQ(names.organization, "Quellhaven");
  }
  const CommandLine::ApplicationNames names =
      CommandLine::applicationNames("net.quellhaven.launcher", false);
  EXPECT_EQ(names.organization, "Quellhaven");
  EXPECT_TRUE(names.organizationDomain.isEmpty());
  EXPECT_EQ(names.application, "Quellhaven Launcher");
}

TEST(BringBack, RestoresAMinimisedWindowAndShowsAHiddenOne) {
  QQuickWindow window;
  window.resize(120, 80);
  window.show();
  window.showMinimized();
  drainEvents();
  ASSERT_TRUE(window.windowStates() & Qt::WindowMinimized);
  Shell::bringBack(window);
  drainEvents();
  EXPECT_FALSE(window.windowStates() & Qt::WindowMinimized);
  EXPECT_TRUE(window.isVisible());

  window.close();
  drainEvents();
  ASSERT_FALSE(window.isVisible());
  Shell::bringBack(window);
  drainEvents();
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowStates(), Qt::WindowNoState);
}

}  // namespace

}  // namespace qh
