#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGroupBox>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

#include <gtest/gtest.h>

#include "app/PageChecks.h"
#include "app/pages/ActivityHistoryPage.h"

namespace kelvaro {
namespace {

using namespace kelvaro::pagechecks;

TEST(ActivityHistoryPage, ControlsStartAsDesigned) {
  ActivityHistoryPage page;
  checkButtons(page, {{"ButtonOpenAktHist", "Update Chart", true, true, ""},
                      {"BitBtn1", "Left", true, true, ""},
                      {"BitBtn2", "Right", true, true, ""}});
  checkSpins(page, {{"SpinEdit2", 4, 1000, 20}});
  checkEdits(page, {{"EditAktAvg", "", true, "Average Activity Level"},
                    {"EditAktSumTime", "", true, "Total Activity Time"},
                    {"EditPocetAkt", "", true, "Number of Sessions"}});
  checkLabels(page, {{"LabelAktAvg", "Average Activity Level", "EditAktAvg"},
                     {"LabelAktSumTime", "Total Activity Time ", "EditAktSumTime"},
                     {"LabelPocetAkt", "Number of Sessions", "EditPocetAkt"},
                     {"LabelSessionsPerPage", "Sessions per Page", "SpinEdit2"}});
  EXPECT_EQ(page.sessionsPerPageSpin->accessibleName(), QStringLiteral("Sessions per Page"));

  auto* scrolling = page.findChild<QGroupBox*>(QStringLiteral("GroupScrolling"));
  ASSERT_NE(scrolling, nullptr);
  EXPECT_EQ(scrolling->title(), QStringLiteral("Chart Scrolling"));
  EXPECT_TRUE(scrolling->isAncestorOf(page.scrollLeftButton));
  EXPECT_TRUE(scrolling->isAncestorOf(page.scrollRightButton));
}

TEST(ActivityHistoryPage, ChartHasItsThreeEmptySeriesOnTheirAxes) {
  ActivityHistoryPage page;
  auto* view = page.findChild<QChartView*>(QStringLiteral("ChartActHist"));
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->accessibleName().isEmpty());
  page.show();
  QChart* chart = view->chart();
  EXPECT_EQ(chart->title(), QStringLiteral("TChart"));
  EXPECT_EQ(chart->legend()->alignment(), Qt::AlignBottom);

  const struct {
    QLineSeries* series;
    const char* name;
    const char* title;
    QColor color;
    Qt::Alignment side;
    const char* axisTitle;
    bool drawn;
  } cases[] = {
      {page.totalTimeSeries, "Series4", "Total Activity Time", QColor(0, 128, 0), Qt::AlignRight,
       "Duration [minutes]", true},
      {page.averageLevelSeries, "Series3", "Average Activity Level", QColor(255, 0, 0),
       Qt::AlignLeft, "Activity", true},
      {page.motionAverageSeries, "Series5", "", QColor(0, 255, 0), Qt::AlignLeft, "Activity",
       false},
  };
  ASSERT_EQ(chart->series().size(), 3);
  for (int i = 0; i < 3; ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.series, nullptr);
    EXPECT_EQ(chart->series().at(i), c.series);
    EXPECT_EQ(c.series->objectName(), QString::fromLatin1(c.name));
    EXPECT_EQ(c.series->name(), QString::fromLatin1(c.title));
    EXPECT_EQ(c.series->pen().color(), c.color);
    EXPECT_EQ(c.series->pen().width(), 3);
    EXPECT_EQ(c.series->count(), 0);
    EXPECT_EQ(c.series->isVisible(), c.drawn);
    const auto markers = chart->legend()->markers(c.series);
    ASSERT_EQ(markers.size(), 1);
    EXPECT_EQ(markers.first()->isVisible(), c.drawn);
    const auto vertical = chart->axes(Qt::Vertical, c.series);
    ASSERT_EQ(vertical.size(), 1);
    EXPECT_EQ(vertical.first()->alignment(), c.side);
    EXPECT_EQ(vertical.first()->titleText(), QString::fromLatin1(c.axisTitle));
    const auto horizontal = chart->axes(Qt::Horizontal, c.series);
    ASSERT_EQ(horizontal.size(), 1);
    EXPECT_EQ(horizontal.first(), page.sessionsAxis);
  }

  EXPECT_FALSE(page.durationAxis->isGridLineVisible());
  EXPECT_EQ(page.activityAxis->minorTickCount(), 0);
  EXPECT_EQ(page.durationAxis->minorTickCount(), 0);
  // Sequence numbers 0..19: one page of 20 sessions, labels slanted to 335 degrees.
  EXPECT_EQ(page.sessionsAxis->labelsPosition(), QCategoryAxis::AxisLabelsPositionOnValue);
  EXPECT_EQ((page.sessionsAxis->labelsAngle() + 360) % 360, 335);
  EXPECT_DOUBLE_EQ(page.sessionsAxis->min(), 0);
  EXPECT_DOUBLE_EQ(page.sessionsAxis->max(), 19);
  EXPECT_EQ(page.sessionsAxis->count(), 0);
}

TEST(ActivityHistoryPage, KeepsTheDesignArrangement) {
  ActivityHistoryPage page;
  page.resize(1050, 700);
  page.show();
  QApplication::processEvents();
  const QRect chart = placeOf(page, "ChartActHist");
  const QRect count = placeOf(page, "EditPocetAkt");
  const QRect time = placeOf(page, "EditAktSumTime");
  const QRect average = placeOf(page, "EditAktAvg");
  EXPECT_GT(chart.height(), page.height() / 2);
  EXPECT_GE(chart.width(), page.width() - 10);
  EXPECT_LT(chart.bottom(), count.top());
  EXPECT_LT(count.bottom(), time.top());
  EXPECT_LT(time.bottom(), average.top());
  EXPECT_EQ(count.left(), average.left());
  EXPECT_LT(count.right(), placeOf(page, "ButtonOpenAktHist").left());
  EXPECT_LT(placeOf(page, "ButtonOpenAktHist").bottom(), placeOf(page, "SpinEdit2").top());
  EXPECT_LT(placeOf(page, "BitBtn1").right(), placeOf(page, "BitBtn2").left());
  EXPECT_LE(average.bottom(), page.height());
}

TEST(ActivityHistoryPage, TabReachesEveryControl) {
  ActivityHistoryPage page;
  const QStringList expected = {"ButtonOpenAktHist", "SpinEdit2",      "BitBtn1",   "BitBtn2",
                                "EditPocetAkt",      "EditAktSumTime", "EditAktAvg"};
  expectTabOrder(page, page.updateChartButton, expected);
}

}  // namespace
}  // namespace kelvaro
