// The "Activity History" page at work: Update Chart on a history file, the totals, the pages,
// and what a missing or damaged file does.
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QValueAxis>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "app/pages/ActivityHistoryPage.h"
#include "app/panels/HistoryPanel.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

class HistoryPanelTest : public ::testing::Test {
 protected:
  void SetUp() override { h.startAnswered(); }

  // `own` sessions of the selected user ("---- 1") of 30 minutes with force average 2.50, and
  // `others` of another user of 90 minutes with 1.00.
  void writeHistory(int own, int others, const QByteArray& extra = {}) {
    ASSERT_TRUE(QDir(h.home.path()).mkpath(QStringLiteral("Data")));
    QFile file(h.home.filePath(QStringLiteral("Data/usr_act.csv")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < own + others; ++i) {
      const bool mine = i < own;
      file.write(QStringLiteral("%1:00:00 %2.11.2026;0007800A1B2C;%3;%4;0.10;0.20;0.30;%5;\r\n")
                     .arg(i % 24, 2, 10, QLatin1Char('0'))
                     .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                     .arg(mine ? QStringLiteral("---- 1") : QStringLiteral("Eva"))
                     .arg(mine ? QStringLiteral("00:30:00") : QStringLiteral("01:30:00"))
                     .arg(mine ? QStringLiteral("2.50") : QStringLiteral("1.00"))
                     .toUtf8());
    }
    file.write(extra);
  }
  ActivityHistoryPage& page() { return *h.window->pages().activityHistory; }
  void click(const char* name) { find<QPushButton>(*h.window, name).click(); }
  QString title() { return page().historyChart->chart()->title(); }

  WindowHarness h;
};

TEST_F(HistoryPanelTest, UpdateChartShowsTheUsersSessionsAndTheTotalsOfAll) {
  writeHistory(3, 2);
  const int consoleBefore = h.window->core().console().count();
  click("ButtonOpenAktHist");

  EXPECT_EQ(title(), QStringLiteral("Activity History for ---- 1"));
  ASSERT_EQ(page().totalTimeSeries->count(), 3);
  EXPECT_EQ(page().totalTimeSeries->at(0).y(), 30.0);
  EXPECT_EQ(page().averageLevelSeries->at(2).y(), 2.5);
  EXPECT_EQ(page().sessionsAxis->categoriesLabels().first(), QStringLiteral("00:00 01.11.26"));
  EXPECT_EQ(find<QLineEdit>(*h.window, "EditPocetAkt").text(), QStringLiteral("5"));
  EXPECT_EQ(find<QLineEdit>(*h.window, "EditAktSumTime").text(), QStringLiteral("0 Day 04:30:00"));
  EXPECT_EQ(find<QLineEdit>(*h.window, "EditAktAvg").text(), QStringLiteral("1.90"));
  EXPECT_EQ(h.window->core().console().count(), consoleBefore + 5) << "every line to the console";
  EXPECT_TRUE(h.reports.isEmpty());
}

TEST_F(HistoryPanelTest, TheValueAxesFitTheSessionsWithRoundEndsAndSteps) {
  writeHistory(3, 2);
  click("ButtonOpenAktHist");
  // 30 minutes and a force average of 2.50: round ends at or just above the highest point.
  const struct {
    QValueAxis* axis;
    double maximum;
    int ticks;
    const char* format;
  } cases[] = {{page().durationAxis, 30, 7, "%.0f"}, {page().activityAxis, 2.5, 6, "%.1f"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.axis->objectName().toStdString());
    EXPECT_EQ(c.axis->min(), 0.0);
    EXPECT_DOUBLE_EQ(c.axis->max(), c.maximum);
    EXPECT_EQ(c.axis->tickCount(), c.ticks);
    EXPECT_EQ(c.axis->labelFormat(), QString::fromLatin1(c.format));
  }
}

TEST_F(HistoryPanelTest, FortyFiveSessionsMakeThreePagesOfTwenty) {
  writeHistory(45, 0);
  click("ButtonOpenAktHist");
  ASSERT_EQ(page().totalTimeSeries->count(), 45);
  const auto shown = [&] {
    return std::pair<double, double>(page().sessionsAxis->min(), page().sessionsAxis->max());
  };
  EXPECT_EQ(shown(), (std::pair<double, double>(0, 19)));
  click("BitBtn1");  // "Left" on page 1
  EXPECT_EQ(shown(), (std::pair<double, double>(0, 19)));
  click("BitBtn2");
  click("BitBtn2");
  EXPECT_EQ(shown(), (std::pair<double, double>(40, 59))) << "the last page keeps a full scale";
  click("BitBtn2");  // "Right" on page 3
  EXPECT_EQ(h.window->findChild<HistoryPanel*>()->paging().page(), 3);
  find<QSpinBox>(*h.window, "SpinEdit2").setValue(50);
  EXPECT_EQ(shown(), (std::pair<double, double>(0, 49)));
}

TEST_F(HistoryPanelTest, AMissingFileIsReportedAndChangesNothing) {
  click("ButtonOpenAktHist");
  ASSERT_EQ(h.reports.size(), 1);
  EXPECT_TRUE(h.reports.first().contains(QStringLiteral("usr_act.csv")))
      << h.reports.first().toStdString();
  EXPECT_EQ(title(), QStringLiteral("TChart"));
}

TEST_F(HistoryPanelTest, ADamagedLineIsReportedWithItsNumberAndKeepsThePointsBeforeIt) {
  writeHistory(2, 0, "12:00:00 99.99.2026;X;---- 1;00:10:00;---;---;---;---;\r\n");
  click("ButtonOpenAktHist");
  ASSERT_EQ(h.reports.size(), 1);
  EXPECT_TRUE(h.reports.first().contains(QStringLiteral("line 3")))
      << h.reports.first().toStdString();
  EXPECT_EQ(page().totalTimeSeries->count(), 2);
  EXPECT_EQ(find<QLineEdit>(*h.window, "EditPocetAkt").text(), QString()) << "no totals";

  // The history still takes the next session.
  click("ButtonStartAct");
  click("ButtonStopAct");
  EXPECT_EQ(h.reports.size(), 1);
}

}  // namespace
}  // namespace kelvaro
