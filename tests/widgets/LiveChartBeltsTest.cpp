#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "widgets/BeltColour.h"
#include "widgets/LiveChart.h"
#include "widgets/LiveChartPixels.h"

namespace kelvaro {
namespace {

using livegraph::Axis;
using livegraph::kForce1;
using livegraph::kForce2;
using livegraph::LiveGraphModel;
using livegraph::ValueRange;

class RecordingChart : public LiveChart {
 public:
  std::vector<QRegion> painted;

 protected:
  void paintEvent(QPaintEvent* event) override {
    painted.push_back(event->region());
    LiveChart::paintEvent(event);
  }
};

int distance(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
         std::abs(a.blue() - b.blue());
}

// The colour nearest to `want` within two device pixels of a logical point.
int distanceNear(const QImage& img, QPointF logical, QColor want) {
  const double dpr = img.devicePixelRatio();
  const int cx = static_cast<int>(std::floor(logical.x() * dpr));
  const int cy = static_cast<int>(std::floor(logical.y() * dpr));
  int best = 1 << 30;
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) {
      const QPoint p(cx + dx, cy + dy);
      if (img.rect().contains(p)) best = std::min(best, distance(img.pixelColor(p), want));
    }
  }
  return best;
}

using charttest::colourOf;
using charttest::renderAt;

// Writes the first belt's sample at its write position and moves on.
void plotFirst(LiveChart& c, double f1, double f2 = 0.0) {
  c.plotSample(f1, f2, 0, 0, 0);
  c.advanceSlot();
  c.wrapSlot();
}

// Writes a further belt's sample as the core does, tells the chart and moves on.
void plotLine(LiveChart& c, int line, LiveGraphModel& model, double f1) {
  const int slot = model.graphSlot();
  model.plotSample(f1, 0, 0, 0, 0);
  c.beltPlotted(line, slot);
  model.advanceSlot();
  model.wrapSlot();
}

void moveTo(LiveGraphModel& model, int slot) {
  while (model.graphSlot() != slot) {
    model.advanceSlot();
    model.wrapSlot();
  }
}

QStringList texts(const std::vector<LiveChart::LegendItem>& legend) {
  QStringList t;
  for (const auto& item : legend) t << item.text;
  return t;
}

// The chart of one belt with two further belts, Anna and Carl, on a fixed left axis 0..1000.
struct ThreeBelts {
  ThreeBelts() {
    anna.createPoints();
    carl.createPoints();
    chart.resize(800, 500);
    chart.createPoints();
    chart.setAxisMaximum(Axis::Left, 1000);
    chart.setBeltLines({{&anna, beltColour(1), QStringLiteral("Anna")},
                        {&carl, beltColour(2), QStringLiteral("Carl")}});
  }
  double annaAt(int i) const { return 500 + 150 * std::sin(i * 0.03); }
  // Carl's data stopped before slot 300 and came back much higher.
  double carlAt(int i) const { return i < 300 ? 600 : 900; }
  void plotAll() {
    for (int i = 0; i < 501; ++i) {
      plotFirst(chart, 200, 100);
      if (i == 300) carl.breakLine();
      plotLine(chart, 0, anna, i >= 100 && i <= 200 ? 200 : annaAt(i));
      plotLine(chart, 1, carl, carlAt(i));
    }
  }

  LiveGraphModel anna;
  LiveGraphModel carl;
  RecordingChart chart;
};

TEST(LiveChartBeltsTest, EachFurtherLineIsDrawnInItsColourWhereItsPointsLie) {
  ThreeBelts b;
  b.plotAll();
  const livegraph::PlotMapping m = b.chart.mapping();
  const QImage grabbed = b.chart.grab().toImage();
  const QImage rendered = renderAt(b.chart, 2.0);
  for (const QImage* img : {&grabbed, &rendered}) {
    SCOPED_TRACE(img == &grabbed ? "grabbed" : "rendered");
    for (int slot : {20, 60, 250, 420, 480}) {
      SCOPED_TRACE(slot);
      EXPECT_LE(distanceNear(*img, m.toPixel(slot, Axis::Left, b.annaAt(slot)), beltColour(1)), 12);
      EXPECT_LE(distanceNear(*img, m.toPixel(slot, Axis::Left, b.carlAt(slot)), beltColour(2)), 12);
      EXPECT_GT(distanceNear(*img, m.toPixel(slot, Axis::Left, 750), beltColour(2)), 100)
          << "nothing between Carl's two levels but the jump";
    }
    EXPECT_GT(distanceNear(*img, m.toPixel(299.5, Axis::Left, 750), beltColour(2)), 100)
        << "Carl's line breaks where his data stopped";
    EXPECT_LE(distanceNear(*img, m.toPixel(250, Axis::Left, 200), colourOf(kForce1)), 12)
        << "the first belt's Force 1 is still drawn";
    // Where Anna's line lies on the first belt's Force 1 it is drawn over it.
    const QPointF over = m.toPixel(150, Axis::Left, 200);
    const QPoint centre((over * img->devicePixelRatio()).toPoint());
    EXPECT_LE(distance(img->pixelColor(centre), beltColour(1)), 12);
  }
}

TEST(LiveChartBeltsTest, TheLegendNamesEveryBeltInItsLinesColour) {
  ThreeBelts b;
  b.chart.setFirstBeltName(QStringLiteral("Ben"));
  b.plotAll();
  const std::vector<LiveChart::LegendItem> legend = b.chart.legend();
  EXPECT_EQ(texts(legend), (QStringList{"Force 1 Ben", "Force 1 Anna", "Force 1 Carl", "Acc. x ",
                                        "Acc. y", "Acc. z", "Force 2"}));
  ASSERT_EQ(legend.size(), 7u);
  EXPECT_EQ(legend[0].colour, colourOf(kForce1));
  EXPECT_EQ(legend[1].colour, beltColour(1));
  EXPECT_EQ(legend[2].colour, beltColour(2));
  const QImage img = b.chart.grab().toImage();
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(legend[i].text.toStdString());
    const QPointF marker(legend[i].area.left() + 11, legend[i].area.center().y());
    EXPECT_LE(distanceNear(img, marker, legend[i].colour), 12) << "the entry's line marker";
  }
}

TEST(LiveChartBeltsTest, WithoutFurtherLinesTheLegendIsTheFirstBeltsAlone) {
  LiveChart plain;
  plain.resize(800, 500);
  plain.createPoints();
  const std::vector<LiveChart::LegendItem> want = plain.legend();
  EXPECT_EQ(texts(want), (QStringList{"Force 1", "Acc. x ", "Acc. y", "Acc. z", "Force 2"}));

  ThreeBelts b;
  b.chart.setFirstBeltName(QStringLiteral("Ben"));
  b.chart.setBeltLines({});
  b.plotAll();
  b.chart.setFirstBeltName(QStringLiteral("Ben"));
  const std::vector<LiveChart::LegendItem> got = b.chart.legend();
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].text, want[i].text);
    EXPECT_EQ(got[i].colour, want[i].colour);
    EXPECT_EQ(got[i].area, want[i].area);
  }
  const livegraph::PlotMapping m = b.chart.mapping();
  const QImage img = b.chart.grab().toImage();
  EXPECT_GT(distanceNear(img, m.toPixel(250, Axis::Left, b.annaAt(250)), beltColour(1)), 100)
      << "a line taken away is not drawn";
  EXPECT_TRUE(b.chart.beltLines().empty());
}

TEST(LiveChartBeltsTest, LinesWithoutAModelAreLeftOut) {
  LiveGraphModel anna;
  LiveChart c;
  c.setBeltLines({{nullptr, beltColour(1), QStringLiteral("Nobody")},
                  {&anna, beltColour(2), QStringLiteral("Anna")}});
  ASSERT_EQ(c.beltLines().size(), 1u);
  EXPECT_EQ(c.beltLines()[0].name, "Anna");
}

TEST(LiveChartBeltsTest, AHiddenForce1HidesTheFurtherLinesAndTheirLegendEntries) {
  ThreeBelts b;
  b.plotAll();
  b.chart.setSeriesVisible(kForce1, false);
  const livegraph::PlotMapping m = b.chart.mapping();
  QImage img = b.chart.grab().toImage();
  for (int slot : {60, 250, 420}) {
    SCOPED_TRACE(slot);
    EXPECT_GT(distanceNear(img, m.toPixel(slot, Axis::Left, b.annaAt(slot)), beltColour(1)), 100);
    EXPECT_GT(distanceNear(img, m.toPixel(slot, Axis::Left, b.carlAt(slot)), beltColour(2)), 100);
  }
  EXPECT_EQ(texts(b.chart.legend()), (QStringList{"Acc. x ", "Acc. y", "Acc. z", "Force 2"}));

  b.chart.setSeriesVisible(kForce1, true);
  img = b.chart.grab().toImage();
  EXPECT_LE(distanceNear(img, m.toPixel(250, Axis::Left, b.annaAt(250)), beltColour(1)), 12);
  EXPECT_EQ(b.chart.legend().size(), 7u);
}

TEST(LiveChartBeltsTest, AnAutomaticLeftAxisFitsTheFurtherLinesToo) {
  struct Case {
    const char* what;
    double annaLow, annaHigh;
  };
  for (const Case& k : {Case{"above", 300, 930}, Case{"below", -75, 150}, Case{"around", -40, 1250},
                        Case{"within", 120, 180}}) {
    SCOPED_TRACE(k.what);
    LiveGraphModel anna;
    anna.createPoints();
    LiveChart c;
    c.resize(800, 500);
    c.createPoints();
    c.setBeltLines({{&anna, beltColour(1), QStringLiteral("Anna")}});
    c.setAutomatic(Axis::Left, true);
    for (int i = 0; i < 501; ++i) {
      plotFirst(c, 100 + i % 101, 100);
      plotLine(c, 0, anna, k.annaLow + (k.annaHigh - k.annaLow) * (i % 50) / 49.0);
    }
    const double low = std::min(100.0, k.annaLow);
    const double high = std::max(200.0, k.annaHigh);
    const ValueRange r = c.mapping().left;
    const double step = c.ticks(LiveChart::Edge::Left).step;
    EXPECT_LE(r.minimum, low);
    EXPECT_GT(r.minimum, low - step);
    EXPECT_GE(r.maximum, high);
    EXPECT_LT(r.maximum, high + step);
    const QImage img = c.grab().toImage();
    const int slot = 49;  // Anna's highest
    EXPECT_LE(distanceNear(img, c.mapping().toPixel(slot, Axis::Left, k.annaHigh), beltColour(1)),
              12);
  }
}

TEST(LiveChartBeltsTest, TheFittedRangeFollowsAFurtherLinesExtremesAsTheyAreOverwritten) {
  LiveGraphModel anna;
  anna.createPoints();
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  c.setSeriesVisible(kForce2, false);
  c.setBeltLines({{&anna, beltColour(1), QStringLiteral("Anna")}});
  c.setAutomatic(Axis::Left, true);
  for (int i = 0; i < 501; ++i) {
    plotFirst(c, 100);
    plotLine(c, 0, anna, i == 200 ? 5000 : (i == 300 ? std::nan("") : 150));
  }
  EXPECT_GE(c.mapping().left.maximum, 5000) << "a value that is not a number counts for nothing";
  EXPECT_LE(c.mapping().left.minimum, 99);
  EXPECT_GT(c.mapping().left.minimum, -1000);

  moveTo(anna, 200);
  plotLine(c, 0, anna, 170);
  EXPECT_LT(c.mapping().left.maximum, 400) << "the peak written over, the range comes down";
  EXPECT_GE(c.mapping().left.maximum, 170);

  c.setAxisMaximum(Axis::Left, 300);
  c.setAxisMinimum(Axis::Left, 0);
  moveTo(anna, 10);
  plotLine(c, 0, anna, 2000);
  c.setAutomatic(Axis::Left, false);
  EXPECT_EQ(c.mapping().left, (ValueRange{0, 300})) << "a fixed range is not widened";
  c.setAutomatic(Axis::Left, true);
  EXPECT_GE(c.mapping().left.maximum, 2000);
  c.setSeriesVisible(kForce1, false);
  EXPECT_EQ(c.mapping().left, (ValueRange{0, 300}))
      << "with no shown series the axis keeps its fixed limits";
}

TEST(LiveChartBeltsTest, ACreatedOrClearedFurtherModelIsShownWhole) {
  ThreeBelts b;
  b.plotAll();
  b.carl.clearLiveGraph();
  b.chart.beltChanged(1);
  b.chart.beltChanged(7);
  const livegraph::PlotMapping m = b.chart.mapping();
  const QImage img = b.chart.grab().toImage();
  EXPECT_LE(distanceNear(img, m.toPixel(250, Axis::Left, 0), beltColour(2)), 12);
  EXPECT_GT(distanceNear(img, m.toPixel(250, Axis::Left, 600), beltColour(2)), 100);
}

TEST(BeltColourTest, FurtherBeltsHaveDistinctColoursThatReadOnWhite) {
  // The contrast of a colour against white, by the relative luminance of sRGB.
  const auto contrast = [](QColor c) {
    const auto lin = [](double v) {
      return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const double y = 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    return 1.05 / (y + 0.05);
  };
  for (int belt = 1; belt <= 3; ++belt) {
    SCOPED_TRACE(belt);
    const QColor c = beltColour(belt);
    EXPECT_GE(contrast(c), 3.0);
    for (const auto& s : livegraph::kSeriesStyles)
      EXPECT_GE(distance(c, QColor(s.red, s.green, s.blue)), 100) << s.name;
    for (int other = 1; other < belt; ++other) EXPECT_GE(distance(c, beltColour(other)), 100);
  }
  EXPECT_EQ(beltColour(0), colourOf(kForce1)) << "the first belt";
  EXPECT_EQ(beltColour(4), beltColour(1));
  EXPECT_EQ(beltColour(-2), beltColour(0));
}

class LiveChartBeltsPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    anna.createPoints();
    carl.createPoints();
    chart.resize(1050, 600);
    chart.createPoints();
    chart.setAxisMaximum(Axis::Left, 1000);
    chart.setBeltLines({{&anna, beltColour(1), QStringLiteral("Anna")},
                        {&carl, beltColour(2), QStringLiteral("Carl")}});
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    settle();
    chart.painted.clear();
  }
  void settle() {
    chart.flushRepaint();
    QApplication::processEvents();
    QApplication::processEvents();
  }

  LiveGraphModel anna;
  LiveGraphModel carl;
  RecordingChart chart;
};

TEST_F(LiveChartBeltsPaintTest, AFurtherBeltsSampleRepaintsOnlyANarrowStripAroundItsPoint) {
  moveTo(anna, 250);
  plotLine(chart, 0, anna, 700);
  EXPECT_TRUE(chart.painted.empty()) << "nothing is painted before the frame";
  settle();
  ASSERT_EQ(chart.painted.size(), 1u);
  const QRect r = chart.painted[0].boundingRect();
  const double x = chart.mapping().xToPixel(250);
  EXPECT_LE(r.left(), x - 2);
  EXPECT_GE(r.right(), x + 2);
  EXPECT_LE(r.width(), 20);
  EXPECT_EQ(r.height(), chart.height());
}

TEST_F(LiveChartBeltsPaintTest, TheSamplesOfAllBeltsInOneFrameArePaintedTogether) {
  moveTo(anna, 3);
  moveTo(carl, 5);
  for (int i = 0; i < 6; ++i) {
    plotFirst(chart, 100 + 10 * i);
    plotLine(chart, 0, anna, 300 + 10 * i);
    plotLine(chart, 1, carl, 500 + 10 * i);
  }
  settle();
  ASSERT_EQ(chart.painted.size(), 1u);
  EXPECT_EQ(chart.painted[0].rectCount(), 1);
  const QRect r = chart.painted[0].boundingRect();
  EXPECT_LE(r.left(), chart.mapping().xToPixel(0) - 2);
  EXPECT_GE(r.right(), chart.mapping().xToPixel(10) + 2);
  EXPECT_LT(r.width(), 50);
}

TEST_F(LiveChartBeltsPaintTest, AFurtherSampleBeyondTheAutomaticRangeRepaintsTheWholeChartOnce) {
  chart.setAutomatic(Axis::Left, true);
  plotFirst(chart, 500);
  plotLine(chart, 0, anna, 510);
  settle();
  const ValueRange before = chart.mapping().left;
  chart.painted.clear();
  plotLine(chart, 0, anna, before.maximum + 2000);
  plotLine(chart, 1, carl, 520);
  settle();
  ASSERT_EQ(chart.painted.size(), 1u);
  EXPECT_EQ(chart.painted[0].boundingRect(), chart.rect());
  EXPECT_GE(chart.mapping().left.maximum, before.maximum + 2000);

  chart.painted.clear();
  plotLine(chart, 1, carl, 600);
  settle();
  ASSERT_EQ(chart.painted.size(), 1u);
  EXPECT_LE(chart.painted[0].boundingRect().width(), 20) << "within the range: a strip again";
}

TEST_F(LiveChartBeltsPaintTest, NothingIsPaintedForAHiddenLineOrOneThatDoesNotExist) {
  chart.beltPlotted(2, 10);
  chart.beltPlotted(-1, 10);
  chart.beltPlotted(0, 501);
  chart.beltPlotted(0, -1);
  settle();
  EXPECT_TRUE(chart.painted.empty());
  chart.setSeriesVisible(kForce1, false);
  settle();
  chart.painted.clear();
  plotLine(chart, 0, anna, 400);
  settle();
  EXPECT_TRUE(chart.painted.empty());
}

TEST_F(LiveChartBeltsPaintTest, StripPaintingWithFurtherLinesMatchesAFullRender) {
  for (int i = 0; i < 700; ++i) {
    plotFirst(chart, 400 + 300 * std::sin(i * 0.1), 200 + 100 * std::cos(i * 0.07));
    if (i == 350) anna.breakLine();
    plotLine(chart, 0, anna, 500 + 250 * std::sin(i * 0.13));
    if (i % 3 == 0) plotLine(chart, 1, carl, 300 + 200 * std::cos(i * 0.05));
    if (i % 7 == 0) settle();
  }
  settle();
  EXPECT_EQ(charttest::differingFromFullRender(chart), 0);
}

}  // namespace
}  // namespace kelvaro
