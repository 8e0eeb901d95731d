// The measurement log from the window: "Start Log", "EndLog" and the status on "Scientific
// Tools", rows from the plotted notifications only, and the file closed on every way out.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

// Raw forces 1000 and 500: 0 and -250 g with the zeroing's offsets not yet taken; accelerations
// 16, -16, 256; a battery reading of 3962 mV. Tag 7F.
const QByteArray kValue = testing::bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F");

class MeasurementLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    h.startAnswered();
    w = h.window.get();
    start = &find<QPushButton>(*w, "ButtonStartLog");
    end = &find<QPushButton>(*w, "ButtonEndLog");
    status = &find<QLabel>(*w, "LabelErr");
    name = &find<QLineEdit>(*w, "EditSoub");
    freeze = &find<QCheckBox>(*w, "CheckBoxFreeze");
  }
  void TearDown() override {
    h.window.reset();
    QDir::setCurrent(previous);
  }
  void notifications(int count) {
    for (int i = 0; i < count; ++i) h.port.inject(testing::notification(kValue));
  }
  // Past the zeroing: every notification from here on is plotted.
  void streaming() { notifications(11); }
  int rows(const QString& file) const {
    QFile f(folder.filePath(file));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    return static_cast<int>(f.readAll().count("\r\n"));
  }
  bool red() const { return status->palette().color(QPalette::Window) == QColor(255, 0, 0); }

  QTemporaryDir folder;
  QString previous;
  WindowHarness h;
  MainWindow* w = nullptr;
  QPushButton* start = nullptr;
  QPushButton* end = nullptr;
  QLabel* status = nullptr;
  QLineEdit* name = nullptr;
  QCheckBox* freeze = nullptr;
};

TEST_F(MeasurementLogTest, StartRecordAndStopWithThePlottedSamples) {
  EXPECT_EQ(name->text(), QStringLiteral("File Name"));
  EXPECT_EQ(status->text(), QStringLiteral("-"));
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(end->isEnabled());
  streaming();
  start->click();
  EXPECT_EQ(rows(QStringLiteral("File Name.csv")), -1) << "created with the next plotted sample";
  notifications(5);
  EXPECT_EQ(status->text(), QStringLiteral("OK"));
  EXPECT_FALSE(start->isEnabled());
  EXPECT_TRUE(end->isEnabled());
  end->click();
  notifications(3);
  EXPECT_EQ(status->text(), QStringLiteral("Stop"));
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(end->isEnabled());
  EXPECT_EQ(rows(QStringLiteral("File Name.csv")), 5);
  QFile file(folder.filePath(QStringLiteral("File Name.csv")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  // Zeroed at the tenth notification; no temperature reading has come yet.
  EXPECT_EQ(file.readLine(), QByteArray("7F;    0.0;    0.0;   16;  -16;  256;3962;  0.00\r\n"));
}

TEST_F(MeasurementLogTest, AnExistingNameIsRefusedOnRedAndANewOneAccepted) {
  {
    QFile existing(folder.filePath(QStringLiteral("taken.csv")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  }
  streaming();
  name->setText(QStringLiteral("taken"));
  start->click();
  notifications(2);
  EXPECT_EQ(status->text(), QStringLiteral("Soubor existuje"));
  EXPECT_TRUE(red());
  EXPECT_TRUE(start->isEnabled());
  EXPECT_EQ(rows(QStringLiteral("taken.csv")), 0);

  name->setText(QStringLiteral("fresh"));
  start->click();
  notifications(2);
  EXPECT_EQ(status->text(), QStringLiteral("OK"));
  EXPECT_FALSE(red());
  EXPECT_EQ(rows(QStringLiteral("fresh.csv")), 2);
}

TEST_F(MeasurementLogTest, NothingHappensWhileTheGraphIsFrozen) {
  streaming();
  freeze->setChecked(true);
  start->click();
  notifications(4);
  EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("File Name.csv"))));
  freeze->setChecked(false);
  notifications(2);
  EXPECT_EQ(rows(QStringLiteral("File Name.csv")), 2);

  // A stop while nothing is plotted happens when plotting resumes.
  freeze->setChecked(true);
  end->click();
  notifications(3);
  EXPECT_NE(status->text(), QStringLiteral("Stop"));
  freeze->setChecked(false);
  notifications(1);
  EXPECT_EQ(status->text(), QStringLiteral("Stop"));
  EXPECT_EQ(rows(QStringLiteral("File Name.csv")), 2);
}

TEST_F(MeasurementLogTest, ARecordingGoesOnAcrossADisconnection) {
  streaming();
  start->click();
  notifications(3);
  find<QPushButton>(*w, "Button20").click();  // "Disconnect": the count starts again
  EXPECT_EQ(w->core().measurement().notificationCount, 0u);
  notifications(11);
  EXPECT_EQ(rows(QStringLiteral("File Name.csv")), 3) << "the first eleven are not plotted";
  notifications(2);
  EXPECT_EQ(rows(QStringLiteral("File Name.csv")), 5);
}

TEST_F(MeasurementLogTest, AnErrorIsReportedOnceAfterTheNotification) {
  streaming();
  name->setText(QStringLiteral("missing folder/x"));
  start->click();
  notifications(3);
  EXPECT_TRUE(h.reports.isEmpty()) << "not inside the road";
  QTest::qWait(0);
  QCoreApplication::processEvents();
  EXPECT_EQ(h.reports, QStringList{QStringLiteral(
                           "Cannot create file \"./missing folder/x.csv\". No such file or "
                           "directory")});
  EXPECT_TRUE(start->isEnabled());
  EXPECT_FALSE(end->isEnabled());
}

TEST_F(MeasurementLogTest, TheFileIsClosedOnEveryWayOut) {
  for (const char* way : {"window closed", "run ended with an exit code"}) {
    SCOPED_TRACE(way);
    if (!w) {
      h.startAnswered();
      w = h.window.get();
    }
    find<QLineEdit>(*w, "EditSoub").setText(QString::fromLatin1(way));
    streaming();
    find<QPushButton>(*w, "ButtonStartLog").click();
    notifications(4);
    ASSERT_EQ(w->core().recorder().state(), RecorderState::Recording);
    if (std::string(way) == "window closed") {
      w->close();
    } else {
      // The dongle stops answering: the watchdog ends the run.
      w->core().link().discoverAnswered = LinkAnswer::None;
      h.tickDongleWatchdog();
      EXPECT_EQ(h.exitCodes, QList<int>{3});
    }
    EXPECT_EQ(w->core().recorder().state(), RecorderState::Idle);
    EXPECT_EQ(rows(QString::fromLatin1(way) + ".csv"), 4);
    w = nullptr;
  }
}

}  // namespace
}  // namespace kelvaro
