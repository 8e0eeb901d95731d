// The value axes of the activity charts: fitted to round ends with round steps, and labelled in
// the program's number style whatever the locale.
#include <QChartView>
#include <QDateTime>
#include <QLocale>
#include <QTest>
#include <QValueAxis>

#include <gtest/gtest.h>

#include "ChartLabels.h"
#include "app/pages/ActivityHistoryPage.h"
#include "app/pages/ActivityMonitorPage.h"

namespace kelvaro {
namespace {

using pagechecks::drawnLabels;

QStringList split(const char* labels) {
  return QString::fromLatin1(labels).split(QChar(' '), Qt::SkipEmptyParts);
}

// Each case adds one block to a fresh chart after its start point of 0.
struct MonitorCase {
  const char* what;
  double force, motion;
  double forceTop, motionTop;
  const char* forceLabels;
  const char* motionLabels;
};

class ActivityMonitorAxesTest : public ::testing::TestWithParam<MonitorCase> {
 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    page.resize(1100, 760);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
  }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }

  ActivityMonitorPage page;
};

TEST_P(ActivityMonitorAxesTest, FitsRoundEndsAndLabelsThemPlainly) {
  const MonitorCase& c = GetParam();
  const QDateTime start(QDate(2026, 12, 10), QTime(9, 0));
  page.restartActivityChart(start);
  page.addActivityPoints(start.addSecs(10), c.force, c.motion);

  const struct {
    QValueAxis* axis;
    double top;
    const char* labels;
  } axes[] = {{page.forceAxis, c.forceTop, c.forceLabels},
              {page.motionAxis, c.motionTop, c.motionLabels}};
  for (const auto& a : axes) {
    SCOPED_TRACE(a.axis->objectName().toStdString());
    const QStringList want = split(a.labels);
    EXPECT_EQ(a.axis->min(), 0.0);
    EXPECT_DOUBLE_EQ(a.axis->max(), a.top);
    EXPECT_EQ(a.axis->tickCount(), want.size());
    EXPECT_EQ(drawnLabels(*page.activityChart, *a.axis), want);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ActivityMonitorAxesTest,
    ::testing::Values(
        MonitorCase{"highest point 56.3", 56.3, 7.5, 60, 8, "0 10 20 30 40 50 60",
                    "0 1 2 3 4 5 6 7 8"},
        // No thousands separator of the locale, no decimal comma.
        MonitorCase{"large values", 1234.5, 65000, 1400, 70000, "0 200 400 600 800 1000 1200 1400",
                    "0 10000 20000 30000 40000 50000 60000 70000"},
        MonitorCase{"small values", 0.0123, 2.25, 0.014, 2.5,
                    "0.000 0.002 0.004 0.006 0.008 0.010 0.012 0.014", "0.0 0.5 1.0 1.5 2.0 2.5"},
        // Everything 0: a scale all the same.
        MonitorCase{"flat zero", 0, 0, 1, 1, "0.0 0.2 0.4 0.6 0.8 1.0", "0.0 0.2 0.4 0.6 0.8 1.0"}),
    [](const auto& info) {
      QString name = QString::fromLatin1(info.param.what);
      name.remove(QChar(' ')).remove(QChar('.'));
      return name.toStdString();
    });

TEST(ActivityHistoryAxesTest, EmptyChartHasRoundScalesOnBothSides) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  ActivityHistoryPage page;
  page.resize(1100, 760);
  page.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
  EXPECT_EQ(drawnLabels(*page.historyChart, *page.activityAxis), split("0 2 4 6 8 10"));
  EXPECT_EQ(drawnLabels(*page.historyChart, *page.durationAxis), split("0 10 20 30 40 50 60"));
  QLocale::setDefault(QLocale::c());
}

}  // namespace
}  // namespace kelvaro
