// What the user does in the window reaches the model: typing, pasting and
// Return in the install field, the speed chip and the Tools menu.
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include "window_fixture.h"

namespace qh {

namespace {

class WindowInputTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    open();
    driveTo(Phase::needInstall, "Choose where to install Quellhaven, then press Install.");
    field = item("installField");
    field->forceActiveFocus();
    QMetaObject::invokeMethod(field, "selectAll");
    window->grabWindow();  // laid out and drawn, so clicks land where a player's would
  }
  void type(const char* text) {
    for (const char* c = text; *c; ++c) QTest::keyClick(window.get(), *c);
  }
  QQuickItem* field = nullptr;
};

TEST_F(WindowInputTest, TypingPastingAndReturnReachTheModel) {
  type("/games/qh");
  drainEvents();
  EXPECT_EQ(model->installPath(), "/games/qh");
  EXPECT_EQ(model->paths().installDir, home / "Quellhaven") << "only the button applies it";

  QMetaObject::invokeMethod(field, "selectAll");
  QGuiApplication::clipboard()->setText("/Volumes/Games/Quellhaven");
  QTest::keySequence(window.get(), QKeySequence::Paste);
  drainEvents();
  EXPECT_EQ(model->installPath(), "/Volumes/Games/Quellhaven");

  // Return presses the primary button once; while working it is disabled.
  QTest::keyClick(window.get(), Qt::Key_Return);
  drainEvents();
  EXPECT_EQ(model->primaryActions, 1);
  driveTo(Phase::working, "Working");
  QTest::keyClick(window.get(), Qt::Key_Return);
  drainEvents();
  EXPECT_EQ(model->primaryActions, 1);
}

TEST_F(WindowInputTest, ClicksReachTheFolderPanelTheButtonAndTheSpeedChip) {
  QTest::mouseClick(window.get(), Qt::LeftButton, {}, centre("chooseButton"));
  drainEvents();
  auto* panel = window->find("folderPanel")->property("dialog").value<QObject*>();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->property("acceptLabel").toString(), "Choose");
  EXPECT_TRUE(
      panel->property("title").toString().startsWith("Choose where to install Quellhaven."));
  EXPECT_TRUE(panel->property("visible").toBool());
  // A folder chosen there becomes the install path, by the folder rule; only
  // the button applies it.
  std::filesystem::create_directories(home / "Games");
  panel->setProperty("selectedFolder",
                     QUrl::fromLocalFile(QString::fromStdString((home / "Games").string())));
  QMetaObject::invokeMethod(panel, "accept");
  drainEvents();
  EXPECT_EQ(textOf("installField").toStdString(), (home / "Games/Quellhaven").string());
  EXPECT_EQ(model->paths().installDir, home / "Quellhaven");

  QTest::mouseClick(window.get(), Qt::LeftButton, {}, centre("primaryButton"));
  drainEvents();
  EXPECT_EQ(model->primaryActions, 1);

  driveTo(Phase::working, "Downloading", 0.2);
  model->setSpeedStep(3);
  drainEvents();
  EXPECT_EQ(item("speedChip")->property("contentItem").value<QQuickItem*>()->property("text"),
            "1 MB/s");
  QTest::mouseClick(window.get(), Qt::LeftButton, {}, centre("speedChip"));
  drainEvents();
  EXPECT_EQ(model->speedCycles, 1);
}

TEST_F(WindowInputTest, ToolsMenuListsTheTenCommandsInOrder) {
  QTest::mouseClick(window.get(), Qt::LeftButton, {}, centre("toolsButton"));
  drainEvents();
  shot("tools-menu");
  QObject* menu = window->find("toolsMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->property("visible").toBool());
  QStringList texts;
  const int count = menu->property("count").toInt();
  for (int i = 0; i < count; ++i) {
    QQuickItem* entry = nullptr;
    QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem*, entry), Q_ARG(int, i));
    ASSERT_NE(entry, nullptr);
    texts << (entry->inherits("QQuickMenuSeparator") ? "-" : entry->property("text").toString());
  }
  EXPECT_EQ(texts, QStringList({"Verify & repair files", "Clear update cache",
                                "Reset video settings (windowed)", "Download speed: Unlimited", "-",
                                "Open game folder", "Open logs", "-", "Play with diagnostics log",
                                "Force-quit the game", "Reset compatibility layer", "-",
                                "Save diagnostics..."}));
  // The speed item runs the model's command and its text follows the step.
  QObject* speed = window->find("speedItem");
  ASSERT_NE(speed, nullptr);
  QMetaObject::invokeMethod(speed, "triggered");
  EXPECT_EQ(model->speedCycles, 1);
  model->setSpeedStep(5);
  EXPECT_EQ(speed->property("text").toString(), "Download speed: 256 KB/s");
  QObject* diagnostics = window->find("diagnosticsItem");
  ASSERT_NE(diagnostics, nullptr);
  QMetaObject::invokeMethod(diagnostics, "triggered");
  EXPECT_EQ(model->diagnosticsSaves, 1);
  // Where the zip went reads whole at the design size (narrower windows
  // elide the middle, keeping the file's name).
  model->setStatus("Saved diagnostics to ~/Desktop/Quellhaven-diagnostics-20261207-142502.zip");
  drainEvents();
  shot("diagnostics-saved");
  EXPECT_FALSE(item("statusText")->property("truncated").toBool());
}

}  // namespace

}  // namespace qh
