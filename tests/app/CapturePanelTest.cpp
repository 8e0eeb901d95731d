// The "Capture" box on the diagnostics page: the file asked for, every byte both ways captured
// with the injected clock's times, the file closed on every way out, and its errors.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <csignal>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "MainWindowTestSupport.h"
#include "app/panels/CapturePanel.h"
#include "base/MicrosecondClock.h"
#include "capture/CaptureReader.h"

namespace kelvaro {
namespace {

using capture::Direction;
using testing::find;

class CapturePanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = &h.create();
    box = &find<QCheckBox>(*window, "CheckBoxCapture");
    window->capture().setAskSavePath(
        [this](const QString& folder, const QString& name) -> std::optional<QString> {
          asked << folder + QLatin1Char('|') + name;
          return answer;
        });
  }
  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  Capture read(const char* name) const {
    QFile f(path(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    const QByteArray text = f.readAll();
    return parseCapture(text.constData(), std::size_t(text.size()));
  }
  bool consoleHas(const QString& line) const {
    return window->core().console().lines().contains(line);
  }

  QTemporaryDir dir;
  testing::WindowHarness h;
  ManualMicrosecondClock& micros = h.micros;
  MainWindow* window = nullptr;
  QCheckBox* box = nullptr;
  QStringList asked;
  std::optional<QString> answer;
};

TEST_F(CapturePanelTest, TheBoxAsksForAFileAndCapturesBothWaysUntilUnticked) {
  ASSERT_TRUE(window->startUp());
  EXPECT_EQ(box->text(), QStringLiteral("Capture"));
  EXPECT_FALSE(box->isChecked());
  answer = path("belt.capture");
  box->click();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_EQ(asked[0], QDir::currentPath() + QStringLiteral("|belt-20261210-090000.capture"));
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(consoleHas(QStringLiteral("Capture to ") + QDir::toNativeSeparators(*answer)));

  micros.advance(250);
  h.port.inject(testing::kDiscoverAnswer);
  micros.advance(1000);
  find<QPushButton>(*window, "Button9").click();  // StartGapDiscover: the discover command
  box->click();
  EXPECT_FALSE(box->isChecked());
  EXPECT_TRUE(consoleHas(
      QStringLiteral("Capture ended: %1, 2 lines").arg(QDir::toNativeSeparators(*answer))));
  // Nothing after the end.
  h.port.inject(testing::kDiscoverAnswer);

  const Capture c = read("belt.capture");
  ASSERT_FALSE(c.damage) << c.damage->what.toStdString();
  EXPECT_EQ(c.header->program, QStringLiteral("kelvaro-monitor/3.24"));
  EXPECT_EQ(c.header->start, h.clock.now());
  ASSERT_EQ(c.records.size(), 2u);
  EXPECT_EQ(c.records[0].micros, 250u);
  EXPECT_EQ(c.records[0].direction, Direction::Received);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(c.data(c.records[0])), 6),
            testing::kDiscoverAnswer);
  EXPECT_EQ(c.records[1].micros, 1250u);
  EXPECT_EQ(c.records[1].direction, Direction::Sent);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(c.data(c.records[1])), 5),
            testing::kDiscoverCommand);

  // The next dialog starts where the capture went.
  answer.reset();
  box->click();
  EXPECT_EQ(asked.last().section(QLatin1Char('|'), 0, 0), QFileInfo(dir.path()).absoluteFilePath());
  EXPECT_FALSE(box->isChecked()) << "cancelled";
  EXPECT_TRUE(h.reports.isEmpty());
}

TEST_F(CapturePanelTest, StartedFromTheCommandLineTheBoxShowsItAndTheFileHasTheWholeStartUp) {
  QString reason;
  ASSERT_TRUE(window->capture().start(path("run.capture"), &reason)) << reason.toStdString();
  EXPECT_TRUE(box->isChecked());
  ASSERT_TRUE(window->startUp());
  ASSERT_TRUE(window->close());
  EXPECT_FALSE(box->isChecked());
  const Capture c = read("run.capture");
  ASSERT_FALSE(c.damage);
  ASSERT_EQ(c.records.size(), 1u);
  EXPECT_EQ(c.records[0].direction, Direction::Sent) << "the first discover";

  // A file that exists is not overwritten from the command line.
  EXPECT_FALSE(window->capture().start(path("run.capture"), &reason));
  EXPECT_EQ(reason, QStringLiteral("\"%1\" exists already").arg(path("run.capture")));
  EXPECT_FALSE(box->isChecked());
}

TEST_F(CapturePanelTest, AFileTheDialogMayReplaceIsReplaced) {
  QFile old(path("belt.capture"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("an old capture, longer than the new one will be ........................");
  old.close();
  ASSERT_TRUE(window->startUp());
  answer = path("belt.capture");
  box->click();
  ASSERT_TRUE(box->isChecked());
  box->click();
  const Capture c = read("belt.capture");
  EXPECT_FALSE(c.damage);
  EXPECT_TRUE(h.reports.isEmpty());
}

TEST_F(CapturePanelTest, AFileThatCannotBeCreatedIsReportedAndTheBoxStaysUnticked) {
  ASSERT_TRUE(window->startUp());
  answer = path("missing/belt.capture");
  box->click();
  EXPECT_FALSE(box->isChecked());
  ASSERT_EQ(h.reports.size(), 1);
  EXPECT_EQ(h.reports[0],
            QStringLiteral("Cannot create file \"%1\". No such file or directory").arg(*answer));
}

// A full disk, as a file size limit shows it: one report, the box unticked, the run goes on.
TEST_F(CapturePanelTest, AWriteErrorIsReportedOnceAndTheRunGoesOn) {
  ASSERT_TRUE(window->startUp());
  answer = path("belt.capture");
  box->click();
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = static_cast<rlim_t>(QFileInfo(*answer).size() + 60);  // two lines of 27
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  for (int i = 0; i < 5; ++i) h.port.inject(testing::kDiscoverAnswer);
  setrlimit(RLIMIT_FSIZE, &before);
  EXPECT_FALSE(box->isChecked());
  EXPECT_TRUE(h.reports.isEmpty()) << "reported once the bytes have been handled";
  QCoreApplication::processEvents();
  ASSERT_EQ(h.reports.size(), 1);
  EXPECT_EQ(
      h.reports[0],
      QStringLiteral("Capture stopped: Cannot write to file \"%1\". File too large").arg(*answer));
  EXPECT_TRUE(consoleHas(h.reports[0]));
  EXPECT_EQ(window->core().link().discoverAnswered, LinkAnswer::Good) << "the bytes went on";
  EXPECT_EQ(read("belt.capture").records.size(), 2u);
}

// The watchdog ends a run whose dongle stopped answering without closing the window: the capture
// is closed first, every line in it.
TEST_F(CapturePanelTest, TheWatchdogsEndOfTheRunClosesTheCapture) {
  ASSERT_TRUE(window->startUp());
  answer = path("belt.capture");
  box->click();
  h.port.inject(testing::kDiscoverAnswer);
  window->core().link().discoverAnswered = LinkAnswer::None;
  h.tickDongleWatchdog();
  EXPECT_EQ(h.exitCodes, QList<int>{3});
  EXPECT_FALSE(box->isChecked());
  EXPECT_TRUE(consoleHas(
      QStringLiteral("Capture ended: %1, 1 lines").arg(QDir::toNativeSeparators(*answer))));
}

TEST(CaptureSaveDialogTest, AsksBeforeReplacingAndGivesANameWithoutExtensionItsOwn) {
  QTemporaryDir dir;
  CaptureSaveDialog dialog(nullptr, dir.path(), QStringLiteral("belt.capture"));
  EXPECT_EQ(dialog.objectName(), QStringLiteral("SaveDialogCapture"));
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("capture"));
  EXPECT_EQ(dialog.selectedFiles(), QStringList{dir.filePath(QStringLiteral("belt.capture"))});
}

}  // namespace
}  // namespace kelvaro
