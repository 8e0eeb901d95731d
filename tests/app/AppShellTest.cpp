#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>

#include <gtest/gtest.h>

#include "app/shell/AppHome.h"
#include "app/shell/QuitSignals.h"

namespace kelvaro {
namespace {

TEST(AppHome, RequestedFolderWinsAndIsCreated) {
  QTemporaryDir tmp;
  const QString wanted = tmp.filePath(QStringLiteral("a/b"));
  EXPECT_EQ(AppHome::resolve(wanted, tmp.path()), wanted);
  EXPECT_TRUE(QDir(wanted).exists());
}

TEST(AppHome, WritableExecutableFolderIsThePortableHome) {
  QTemporaryDir exeDir;
  EXPECT_EQ(AppHome::resolve(QString(), exeDir.path()), exeDir.path());
  EXPECT_TRUE(QDir(exeDir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty())
      << "the write probe must not be left behind";
}

TEST(AppHome, UnwritableExecutableFolderFallsBackToTheUserConfiguration) {
  QTemporaryDir tmp;
  QFile blocker(tmp.filePath(QStringLiteral("not-a-folder")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  qputenv("XDG_CONFIG_HOME", tmp.filePath(QStringLiteral("config")).toLocal8Bit());
  const QString home = AppHome::resolve(QString(), blocker.fileName());
  EXPECT_EQ(home, tmp.filePath(QStringLiteral("config/kelvaro-monitor")));
  EXPECT_TRUE(QDir(home).exists());
}

TEST(QuitSignals, TermAndIntArriveAsASignalOnTheEventLoop) {
  QuitSignals quit;
  QSignalSpy spy(&quit, &QuitSignals::quitRequested);
  std::raise(SIGTERM);
  std::raise(SIGINT);
  ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() == 2; }, 2000));
  EXPECT_EQ(spy.at(0).at(0).toInt(), SIGTERM);
  EXPECT_EQ(spy.at(1).at(0).toInt(), SIGINT);
}

// A terminated program whose start-up shows the dongle-not-found dialog must not hang on the
// dialog: the dialog is answered for the user, and the window, not shown yet, stays as it is.
TEST(QuitSignals, AQuitAnswersTheOpenDialogsAndClosesAShownWindow) {
  for (const bool shown : {false, true}) {
    SCOPED_TRACE(shown);
    QWidget window;
    if (shown) window.show();
    QDialog dialog(shown ? &window : nullptr);
    dialog.setModal(true);
    QTimer::singleShot(0, [&] { closeForQuit(window); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

}  // namespace
}  // namespace kelvaro
