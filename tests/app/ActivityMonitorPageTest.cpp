#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLineSeries>
#include <QSlider>
#include <QValueAxis>

#include <gtest/gtest.h>

#include "app/PageChecks.h"
#include "app/pages/ActivityMonitorPage.h"

namespace kelvaro {
namespace {

using namespace kelvaro::pagechecks;

TEST(ActivityMonitorPage, ControlsStartAsDesigned) {
  ActivityMonitorPage page;
  checkButtons(page, {{"ButtonStartAct", "Session Start", true, true, ""},
                      {"ButtonStopAct", "Session Stop", false, true, ""}});
  checkChecks(page, {{"CheckBoxSound", "Sound alarm", false, ""},
                     {"CheckBoxMute", "Sound Mute Alarm", false, ""}});
  checkLabels(page, {{"LabelAlarmLevel", "Alarm Level = 10", "TrackBarAct"},
                     {"LabelAlarmMin", "0", nullptr},
                     {"LabelAlarmMax", "50", nullptr},
                     {"LabelBeltActivity", "Current Belt Activity", nullptr},
                     {"LabelAkt10", "---", nullptr},
                     {"LabelSessionActivity", "Avg Session Activity", nullptr},
                     {"LabelAktPrum", "---", nullptr},
                     {"LabelAktStart", "ActStart=4.15", nullptr},
                     {"LabelAktStop", "ActStop=0.60", nullptr}});
  EXPECT_EQ(accessibleName(page.beltActivityReadout), QStringLiteral("---"));
  EXPECT_EQ(accessibleDescription(page.beltActivityReadout),
            QStringLiteral("Current Belt Activity"));
  EXPECT_EQ(accessibleName(page.sessionActivityReadout), QStringLiteral("---"));
  EXPECT_EQ(accessibleDescription(page.sessionActivityReadout),
            QStringLiteral("Avg Session Activity"));
  page.beltActivityReadout->setText(QStringLiteral("12.34"));
  EXPECT_EQ(accessibleName(page.beltActivityReadout), QStringLiteral("12.34"));
  EXPECT_TRUE(page.actStartLabel->isHidden());
  EXPECT_TRUE(page.actStopLabel->isHidden());

  auto* level = page.findChild<QSlider*>(QStringLiteral("TrackBarAct"));
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(level->orientation(), Qt::Horizontal);
  EXPECT_EQ(level->minimum(), 0);
  EXPECT_EQ(level->maximum(), 50);
  EXPECT_EQ(level->tickInterval(), 5);
  EXPECT_NE(level->tickPosition(), QSlider::NoTicks);
  EXPECT_EQ(level->value(), 10);
  EXPECT_FALSE(level->accessibleName().isEmpty());
}

TEST(ActivityMonitorPage, ChartHasItsTwoEmptySeriesOnTheirAxes) {
  ActivityMonitorPage page;
  auto* view = page.findChild<QChartView*>(QStringLiteral("Chart2"));
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->accessibleName().isEmpty());
  QChart* chart = view->chart();
  EXPECT_EQ(chart->title(), QStringLiteral("Activity Monitor"));
  EXPECT_EQ(chart->legend()->alignment(), Qt::AlignBottom);
  EXPECT_TRUE(chart->legend()->isVisible());

  const struct {
    QLineSeries* series;
    const char* name;
    const char* title;
    QColor color;
    int width;
    Qt::Alignment side;
    const char* axisTitle;
  } cases[] = {
      {page.forceActivitySeries, "Series1", "Force Activity", QColor(255, 0, 0), 3, Qt::AlignLeft,
       "Force"},
      {page.motionActivitySeries, "Series2", "Motion Activity", QColor(0, 128, 0), 1,
       Qt::AlignRight, "Acel"},
  };
  ASSERT_EQ(chart->series().size(), 2);
  for (int i = 0; i < 2; ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.series, nullptr);
    EXPECT_EQ(chart->series().at(i), c.series);
    EXPECT_EQ(c.series->objectName(), QString::fromLatin1(c.name));
    EXPECT_EQ(c.series->name(), QString::fromLatin1(c.title));
    EXPECT_EQ(c.series->pen().color(), c.color);
    EXPECT_EQ(c.series->pen().width(), c.width);
    EXPECT_EQ(c.series->count(), 0);
    ASSERT_EQ(chart->axes(Qt::Horizontal, c.series).size(), 1);
    EXPECT_NE(qobject_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal, c.series).first()), nullptr);
    const auto vertical = chart->axes(Qt::Vertical, c.series);
    ASSERT_EQ(vertical.size(), 1);
    EXPECT_EQ(vertical.first()->alignment(), c.side);
    EXPECT_EQ(vertical.first()->titleText(), QString::fromLatin1(c.axisTitle));
  }
}

TEST(ActivityMonitorPage, KeepsTheDesignArrangement) {
  ActivityMonitorPage page;
  page.resize(1050, 700);
  page.show();
  QApplication::processEvents();
  const QRect chart = placeOf(page, "Chart2");
  const QRect start = placeOf(page, "ButtonStartAct");
  const QRect stop = placeOf(page, "ButtonStopAct");
  const QRect level = placeOf(page, "TrackBarAct");
  EXPECT_GT(chart.height(), page.height() / 2);
  EXPECT_GE(chart.width(), page.width() - 10);
  EXPECT_LT(chart.bottom(), start.top());
  EXPECT_LT(start.bottom(), stop.top());
  EXPECT_LT(start.right(), placeOf(page, "LabelAkt10").left());
  EXPECT_LT(placeOf(page, "LabelAlarmMin").right(), level.left());
  EXPECT_LT(level.right(), placeOf(page, "LabelAlarmMax").left());
  EXPECT_LT(placeOf(page, "LabelAlarmLevel").bottom(), level.top());
  EXPECT_LT(level.bottom(), placeOf(page, "CheckBoxSound").top());
  EXPECT_LT(placeOf(page, "CheckBoxSound").bottom(), placeOf(page, "CheckBoxMute").top());
  EXPECT_LE(placeOf(page, "CheckBoxMute").bottom(), page.height());
}

TEST(ActivityMonitorPage, TabReachesEveryEnabledControl) {
  ActivityMonitorPage page;
  page.sessionStopButton->setEnabled(true);
  const QStringList expected = {"ButtonStartAct", "ButtonStopAct", "TrackBarAct",
                                "CheckBoxSound",  "CheckBoxMute",  "SpinEditApnea"};
  expectTabOrder(page, page.sessionStartButton, expected);
}

}  // namespace
}  // namespace kelvaro

namespace kelvaro {
namespace {

// Block results are added as they come; the axes keep every point in view.
TEST(ActivityMonitorPage, PointsAreAddedAndStayInViewAndASessionStartRestartsTheChart) {
  ActivityMonitorPage page;
  const QDateTime start(QDate(2026, 12, 10), QTime(9, 0));
  const struct {
    int seconds;
    double force;
    double motion;
  } blocks[] = {{0, 12.5, 3.0}, {10, 40.0, 7.5}, {20, 2.25, 90.0}, {300, 0.5, 1.0}};
  for (const auto& b : blocks) page.addActivityPoints(start.addSecs(b.seconds), b.force, b.motion);

  ASSERT_EQ(page.forceActivitySeries->count(), 4);
  ASSERT_EQ(page.motionActivitySeries->count(), 4);
  EXPECT_EQ(page.forceActivitySeries->at(1).y(), 40.0);
  EXPECT_EQ(page.motionActivitySeries->at(2).y(), 90.0);
  for (int i = 0; i < 4; ++i) {
    const QDateTime at =
        QDateTime::fromMSecsSinceEpoch(qint64(page.forceActivitySeries->at(i).x()));
    EXPECT_GE(at, page.timeAxis->min());
    EXPECT_LE(at, page.timeAxis->max());
    EXPECT_LE(page.forceActivitySeries->at(i).y(), page.forceAxis->max());
    EXPECT_LE(page.motionActivitySeries->at(i).y(), page.motionAxis->max());
  }

  page.restartActivityChart(start.addSecs(600));
  ASSERT_EQ(page.forceActivitySeries->count(), 1);
  ASSERT_EQ(page.motionActivitySeries->count(), 1);
  EXPECT_EQ(page.forceActivitySeries->at(0).y(), 0.0);
  EXPECT_EQ(page.timeAxis->min(), start.addSecs(600));
}

}  // namespace
}  // namespace kelvaro
