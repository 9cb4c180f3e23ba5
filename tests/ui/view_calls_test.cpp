// The view finds `launcher` and `theme` members by name only when a line
// runs: a misspelt Tools command would load and fail the first time a
// player picks it. So every member the view's QML names must exist.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QMetaMethod>
#include <QRegularExpression>

#include "model/launcher_model.h"
#include "ui/theme.h"

namespace qh {

namespace {

bool hasMethod(const QMetaObject& meta, const QString& name) {
  for (int i = 0; i < meta.methodCount(); ++i) {
    const QMetaMethod method = meta.method(i);
    if (method.access() == QMetaMethod::Public && QString(method.name()) == name) return true;
  }
  return false;
}

TEST(ViewCalls, EveryLauncherAndThemeMemberTheViewNamesExists) {
  const QRegularExpression comment(QStringLiteral("//[^\n]*"));
  const QRegularExpression use(QStringLiteral(R"(\b(launcher|theme)\.(\w+)\s*(\()?)"));
  int files = 0;
  int uses = 0;
  QDirIterator qml(QStringLiteral(":/qh/Quellhaven/Ui"), {QStringLiteral("*.qml")}, QDir::Files);
  while (qml.hasNext()) {
    QFile file(qml.next());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    ++files;
    const QString text = QString::fromUtf8(file.readAll()).remove(comment);
    for (const QRegularExpressionMatch& m : use.globalMatch(text)) {
      ++uses;
      const QMetaObject& meta =
          m.captured(1) == "launcher" ? LauncherModel::staticMetaObject : Theme::staticMetaObject;
      const QString member = m.captured(2);
      const bool called = m.hasCaptured(3);
      EXPECT_TRUE(called ? hasMethod(meta, member)
                         : meta.indexOfProperty(member.toLatin1().constData()) >= 0)
          << qml.fileName().toStdString() << ": " << m.captured(0).toStdString();
    }
  }
  EXPECT_GT(files, 10);
  EXPECT_GT(uses, 50);
}

}  // namespace

}  // namespace qh
