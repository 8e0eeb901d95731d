// Activity sessions in the window: the two buttons, the automatic rule on the belt's own
// notifications, the alarm, and the line each session leaves in Data/usr_act.csv.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "app/pages/ActivityMonitorPage.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

// A notification whose force 1 is `raw1` counts (half a gram each above the offset).
QByteArray forceValue(int raw1) {
  testing::RawValues raw;
  raw.force1 = static_cast<std::uint16_t>(raw1);
  return testing::notificationBytes(raw);
}

class ActivitySessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.startAnswered();
    find<QLineEdit>(*h.window, "EditLastID").setText(QStringLiteral("0007800A1B2C"));
  }
  QPushButton& start() { return find<QPushButton>(*h.window, "ButtonStartAct"); }
  QPushButton& stop() { return find<QPushButton>(*h.window, "ButtonStopAct"); }
  QString history() const {
    QFile file(h.home.filePath(QStringLiteral("Data/usr_act.csv")));
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("<no file>");
    return QString::fromUtf8(file.readAll());
  }
  // The notifications before the first charted one: 11 after a connection (the tenth zeroes),
  // 2 after a session start (which sets the count to 9).
  void warmUp(int notifications) {
    for (int i = 0; i < notifications; ++i) h.port.inject(forceValue(1000));
  }
  // Blocks of 200 charted notifications, each swinging by `swing` counts around 1000.
  void blocks(int count, int swing) {
    for (int i = 0; i < 200 * count; ++i) {
      h.port.inject(forceValue(1000 + (i % 2 ? swing : -swing)));
    }
  }

  WindowHarness h;
};

TEST_F(ActivitySessionTest, AManualSessionLeavesItsLineWithTheValuesAsTheyStand) {
  start().click();
  EXPECT_FALSE(start().isEnabled());
  EXPECT_TRUE(stop().isEnabled());
  EXPECT_EQ(find<QLabel>(*h.window, "LabelAkt10").text(), QStringLiteral("---"));
  EXPECT_EQ(h.window->pages().activityMonitor->forceActivitySeries->count(), 1);
  EXPECT_EQ(h.window->core().measurement().notificationCount, 9u);

  h.clock.advanceSecs(90 * 60 + 5);
  stop().click();

  EXPECT_TRUE(start().isEnabled());
  EXPECT_FALSE(stop().isEnabled());
  EXPECT_EQ(
      history(),
      QStringLiteral("09:00:00 10.12.2026;0007800A1B2C;---- 1;01:30:05;---;---;---;---;\r\n"));
}

// Two lively blocks open a session by themselves, two quiet ones close it: one line.
TEST_F(ActivitySessionTest, TheBeltOpensAndClosesASessionByItself) {
  warmUp(11);
  blocks(1, 20);  // 10 g either side: an activity of 10, above the start threshold
  EXPECT_FALSE(stop().isEnabled()) << "one block is not enough";
  blocks(1, 20);
  ASSERT_TRUE(stop().isEnabled()) << "the second lively block opens a session";
  EXPECT_EQ(find<QLabel>(*h.window, "LabelAkt10").text(), QStringLiteral("10.00"));

  // The start re-zeroes at the next notification; then quiet blocks.
  h.clock.advanceSecs(600);
  warmUp(2);
  blocks(2, 0);
  EXPECT_FALSE(stop().isEnabled()) << "two quiet blocks close it";
  EXPECT_EQ(
      history(),
      QStringLiteral("09:00:00 10.12.2026;0007800A1B2C;---- 1;00:10:00;0.00;0.00;0.00;0.00;\r\n"));
}

TEST_F(ActivitySessionTest, AQuietBlockBelowTheAlarmLevelSoundsTheAlarm) {
  find<QSlider>(*h.window, "TrackBarAct").setValue(5);
  find<QCheckBox>(*h.window, "CheckBoxSound").setChecked(true);
  warmUp(11);
  blocks(1, 2);  // an activity of 1, below 5
  EXPECT_EQ(h.sound.played, QStringList{QStringLiteral("./SoundAct.wav")});
  EXPECT_EQ(find<QLabel>(*h.window, "LabelActF10").text(), QStringLiteral("1.00"));
  EXPECT_EQ(h.window->pages().activityMonitor->forceActivitySeries->count(), 1);

  find<QSlider>(*h.window, "TrackBarAct").setValue(1);  // equal to the activity: no alarm
  blocks(1, 2);
  EXPECT_EQ(h.sound.played.size(), 1);
}

TEST_F(ActivitySessionTest, ClosingTheWindowStopsAnOpenSessionFirst) {
  start().click();
  h.clock.advanceSecs(60);
  ASSERT_TRUE(h.window->close());
  EXPECT_EQ(
      history(),
      QStringLiteral("09:00:00 10.12.2026;0007800A1B2C;---- 1;00:01:00;---;---;---;---;\r\n"));
}

// The dongle stops answering: the watchdog ends the run, but the open session is written first.
TEST_F(ActivitySessionTest, TheWatchdogsEndOfTheRunStopsAnOpenSessionFirst) {
  start().click();
  h.clock.advanceSecs(120);
  h.window->core().link().discoverAnswered = LinkAnswer::None;
  h.tickDongleWatchdog();
  EXPECT_EQ(h.exitCodes, QList<int>{3});
  EXPECT_EQ(
      history(),
      QStringLiteral("09:00:00 10.12.2026;0007800A1B2C;---- 1;00:02:00;---;---;---;---;\r\n"));
}

TEST_F(ActivitySessionTest, AnUnwritableHistoryIsReportedAndTheSessionStaysOpen) {
  // A file where the folder should be.
  QFile blocker(h.home.filePath(QStringLiteral("Data")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  start().click();
  stop().click();
  ASSERT_EQ(h.reports.size(), 1);
  EXPECT_TRUE(h.reports.first().contains(h.home.filePath(QStringLiteral("Data"))))
      << h.reports.first().toStdString();
  EXPECT_TRUE(stop().isEnabled());

  ASSERT_TRUE(QFile::remove(h.home.filePath(QStringLiteral("Data"))));
  stop().click();
  EXPECT_FALSE(stop().isEnabled());
  EXPECT_TRUE(history().endsWith(QStringLiteral("\r\n")));
}

}  // namespace
}  // namespace kelvaro
