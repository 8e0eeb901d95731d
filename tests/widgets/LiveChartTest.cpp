#include <gtest/gtest.h>

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "base/Errors.h"
#include "base/TickSource.h"
#include "widgets/LiveChart.h"
#include "widgets/LiveChartPixels.h"

namespace kelvaro {
namespace {

using livegraph::Axis;
using livegraph::kAccelX;
using livegraph::kAccelY;
using livegraph::kAccelZ;
using livegraph::kForce1;
using livegraph::kForce2;
using livegraph::ValueRange;

// Records the region of every paint, to see what a sample repaints.
class RecordingChart : public LiveChart {
 public:
  std::vector<QRegion> painted;

 protected:
  void paintEvent(QPaintEvent* event) override {
    painted.push_back(event->region());
    LiveChart::paintEvent(event);
  }
};

void send(QWidget& w, QEvent::Type type, QPointF pos, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
  QMouseEvent e(type, pos, w.mapToGlobal(pos), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(&w, &e);
}

void plotAndStep(LiveChart& c, double f1, double f2, double ax, double ay, double az) {
  c.plotSample(f1, f2, ax, ay, az);
  c.advanceSlot();
  c.wrapSlot();
}

void showAll(LiveChart& c) {
  for (int s : {kForce1, kForce2, kAccelX, kAccelY, kAccelZ}) c.setSeriesVisible(s, true);
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
      if (!img.rect().contains(p)) continue;
      const QColor c = img.pixelColor(p);
      const int d = std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                    std::abs(c.blue() - want.blue());
      best = std::min(best, d);
    }
  }
  return best;
}

using charttest::colourOf;
using charttest::renderAt;

TEST(LiveChartTest, IsChart1WithACrossPointer) {
  LiveChart c;
  EXPECT_EQ(c.objectName(), "Chart1");
  EXPECT_EQ(c.cursor().shape(), Qt::CrossCursor);
}

TEST(LiveChartTest, RenderDrawsEachShownSeriesInItsColourWhereItsValuesLie) {
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  showAll(c);
  c.setAxisMaximum(Axis::Left, 1000);
  c.setAxisMaximum(Axis::Right, 1000);
  c.setSeriesVisible(kAccelY, false);
  for (int i = 0; i < 501; ++i) plotAndStep(c, 200, 800, 350, 500, 650);
  const QImage img = renderAt(c, 2.0);
  const livegraph::PlotMapping m = c.mapping();
  struct Case {
    int series;
    Axis axis;
    double value;
  };
  for (const Case& k : {Case{kForce1, Axis::Left, 200}, Case{kForce2, Axis::Left, 800},
                        Case{kAccelX, Axis::Right, 350}, Case{kAccelZ, Axis::Right, 650}}) {
    SCOPED_TRACE(k.series);
    EXPECT_LE(distanceNear(img, m.toPixel(250, k.axis, k.value), colourOf(k.series)), 12);
  }
  EXPECT_GT(distanceNear(img, m.toPixel(250, Axis::Right, 500), colourOf(kAccelY)), 100)
      << "a hidden series is not drawn";
  EXPECT_EQ(img.pixelColor(4, 4), QColor(Qt::white)) << "white background";
}

TEST(LiveChartTest, ValuesAboveAFixedMaximumAreDrawnAboveThePlot) {
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  c.setAxisMaximum(Axis::Left, 500);
  for (int i = 0; i < 501; ++i) plotAndStep(c, 512, 0, 0, 0, 0);
  const livegraph::PlotMapping m = c.mapping();
  const QPointF at = m.toPixel(250, Axis::Left, 512);
  ASSERT_LT(at.y(), m.plot.top() - 3);
  ASSERT_GT(at.y(), 2);
  EXPECT_LE(distanceNear(renderAt(c, 1.0), at, colourOf(kForce1)), 12);
}

TEST(LiveChartTest, AutoscaleFitsTheShownSeriesAndRedrawsWithTheNewRange) {
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  c.setAutomatic(Axis::Left, true);
  for (int i = 0; i < 501; ++i) plotAndStep(c, 100 + i, 0, 0, 0, 0);
  c.setSeriesVisible(kForce2, false);
  EXPECT_EQ(c.mapping().left, (ValueRange{100, 600}));
  const QImage img = renderAt(c, 1.0);
  EXPECT_LE(distanceNear(img, c.mapping().toPixel(400, Axis::Left, 500), colourOf(kForce1)), 12);
}

TEST(LiveChartTest, RefusedLimitThrowsTheMessageAndKeepsTheAxis) {
  LiveChart c;
  c.createPoints();
  c.setAxisMinimum(Axis::Left, 45000);
  try {
    c.setAxisMaximum(Axis::Left, 10);
    FAIL() << "no refusal";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Axis Maximum Value must be >= Minimum");
  }
  try {
    c.setAxisMinimum(Axis::Right, 70000);
    FAIL() << "no refusal";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Axis Minimum Value must be <= Maximum");
  }
  EXPECT_EQ(c.mapping().left, (ValueRange{45000, 65535}));
  EXPECT_EQ(c.mapping().right, (ValueRange{0, 65535}));
}

TEST(LiveChartTest, PressAt100And20Point5ThenMoveTo160GivesTheCursorTexts) {
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  c.setAxisMaximum(Axis::Left, 100);
  QSignalSpy pressed(&c, &LiveChart::pressed);
  QSignalSpy moved(&c, &LiveChart::moved);
  const livegraph::PlotMapping m = c.mapping();
  const QPointF at = m.toPixel(100, Axis::Left, 20.5);
  send(c, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
  ASSERT_EQ(pressed.count(), 1);
  EXPECT_EQ(pressed[0][0].toString(), "100.00 s");
  EXPECT_EQ(pressed[0][1].toString(), "20.50 bar ");
  send(c, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(moved.count(), 0) << "the press texts stay until the pointer moves";

  send(c, QEvent::MouseMove, m.toPixel(160, Axis::Left, 50.5), Qt::NoButton, Qt::NoButton);
  ASSERT_EQ(moved.count(), 1);
  EXPECT_EQ(moved[0][0].toString(), "160 ");          // timeValue
  EXPECT_EQ(moved[0][1].toString(), "51 g");          // forceValue
  EXPECT_EQ(moved[0][2].toString(), "60 (3000 ms)");  // timeDelta
  EXPECT_EQ(moved[0][3].toString(), "30 g");          // forceDelta
}

TEST(LiveChartTest, NothingChangesWhileTheLeftButtonIsHeldThenTheBandZooms) {
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  const livegraph::PlotMapping before = c.mapping();
  QSignalSpy pressed(&c, &LiveChart::pressed);
  QSignalSpy moved(&c, &LiveChart::moved);
  const QPointF start = before.toPixel(100, Axis::Left, 40000);
  const QPointF end = before.toPixel(300, Axis::Left, 20000);
  send(c, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(pressed.count(), 1) << "a left press measures too";
  for (double t : {0.25, 0.5, 1.0}) {
    send(c, QEvent::MouseMove, start + (end - start) * t, Qt::NoButton, Qt::LeftButton);
  }
  EXPECT_EQ(moved.count(), 0);
  EXPECT_FALSE(c.model().isZoomed());
  EXPECT_EQ(c.mapping().bottom, before.bottom);

  send(c, QEvent::MouseButtonRelease, end, Qt::LeftButton, Qt::NoButton);
  ASSERT_TRUE(c.model().isZoomed());
  const livegraph::PlotMapping zoomed = c.mapping();
  EXPECT_NEAR(zoomed.bottom.minimum, 100, 0.01);
  EXPECT_NEAR(zoomed.bottom.maximum, 300, 0.01);
  EXPECT_NEAR(zoomed.left.minimum, 20000, 1);
  EXPECT_NEAR(zoomed.left.maximum, 40000, 1);

  c.unzoom();
  EXPECT_FALSE(c.model().isZoomed());
  EXPECT_EQ(c.mapping().bottom, (ValueRange{0, 500}));
  EXPECT_EQ(c.mapping().left, (ValueRange{0, 65535}));
}

TEST(LiveChartTest, DraggingBackToTheLeftUndoesTheZoomAndAClickDoesNotZoom) {
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  c.setAxisMaximum(Axis::Left, 100);
  const QPointF p = c.mapping().toPixel(200, Axis::Left, 50);
  send(c, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  send(c, QEvent::MouseButtonRelease, p + QPointF(3, 3), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(c.model().isZoomed());

  send(c, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  send(c, QEvent::MouseButtonRelease, p + QPointF(120, 80), Qt::LeftButton, Qt::NoButton);
  ASSERT_TRUE(c.model().isZoomed());
  send(c, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  send(c, QEvent::MouseButtonRelease, p - QPointF(60, 0), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(c.model().isZoomed());
}

// The labels of an axis are the round multiples of its step from its first label on, in the
// program's number style.
void expectRoundLabels(const LiveChart& c, LiveChart::Edge edge, int decimals) {
  const livegraph::AxisTicks t = c.ticks(edge);
  const QStringList texts = c.labels(edge);
  ASSERT_EQ(texts.size(), t.count);
  ASSERT_GE(t.count, 2);
  const double mantissa = t.step / std::pow(10.0, std::floor(std::log10(t.step) + 1e-9));
  EXPECT_TRUE(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
              std::abs(mantissa - 5) < 1e-9)
      << t.step;
  EXPECT_NEAR(std::remainder(t.first, t.step), 0.0, t.step * 1e-9);
  for (int i = 0; i < t.count; ++i) {
    QString want = QString::number(t.value(i), 'f', decimals);
    if (want.toDouble() == 0.0) want.remove(QChar('-'));
    EXPECT_EQ(texts[i], want) << i;
  }
}

TEST(LiveChartTest, AnAutomaticRangeIsWidenedToRoundEndsWithRoundSteps) {
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  c.setAutomatic(Axis::Left, true);
  for (int i = 0; i < 501; ++i) plotAndStep(c, 30 + 26.3 * std::sin(i * 0.05), 0, 0, 0, 0);
  c.setSeriesVisible(kForce2, false);
  const livegraph::PlotMapping m = c.mapping();
  EXPECT_EQ(m.left, (ValueRange{0, 60})) << "3.7..56.3 fitted to round ends";
  const livegraph::AxisTicks t = c.ticks(LiveChart::Edge::Left);
  EXPECT_TRUE(t.step == 5 || t.step == 10 || t.step == 20) << t.step;
  EXPECT_EQ(t.first, 0);
  EXPECT_EQ(c.labels(LiveChart::Edge::Left).first(), "0");
  EXPECT_EQ(c.labels(LiveChart::Edge::Left).last(), "60");
  expectRoundLabels(c, LiveChart::Edge::Left, 0);
}

TEST(LiveChartTest, FixedRangesKeepTheirEndsAndGetRoundLabelsWithoutSeparators) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  c.setAxisMaximum(Axis::Left, 777);
  c.setAxisMinimum(Axis::Left, -13);
  EXPECT_EQ(c.mapping().left, (ValueRange{-13, 777}));
  EXPECT_EQ(c.mapping().right, (ValueRange{0, 65535})) << "the settings' default";
  EXPECT_EQ(c.mapping().bottom, (ValueRange{0, 500}));
  expectRoundLabels(c, LiveChart::Edge::Left, 0);
  expectRoundLabels(c, LiveChart::Edge::Right, 0);
  expectRoundLabels(c, LiveChart::Edge::Bottom, 0);
  EXPECT_GT(c.ticks(LiveChart::Edge::Left).first, -13);
  EXPECT_TRUE(c.labels(LiveChart::Edge::Right).contains("65000"))
      << c.labels(LiveChart::Edge::Right).join(' ').toStdString();
  EXPECT_TRUE(c.labels(LiveChart::Edge::Bottom).contains("500"));
  QLocale::setDefault(before);
}

TEST(LiveChartTest, AutomaticAxesFitNegativeSmallAndFlatSeries) {
  struct Case {
    const char* what;
    double lowest, highest;
    int decimals;
  };
  for (const Case& k : {Case{"negative", -250, -31, 0}, Case{"across zero", -65, 65000, 0},
                        Case{"very small", 1.00012, 1.00047, 5}, Case{"flat zero", 0, 0, 1}}) {
    SCOPED_TRACE(k.what);
    LiveChart c;
    c.resize(800, 500);
    c.createPoints();
    c.setAutomatic(Axis::Left, true);
    for (int i = 0; i < 501; ++i) {
      const double v = k.lowest + (k.highest - k.lowest) * (i % 100) / 99.0;
      plotAndStep(c, v, v, 0, 0, 0);
    }
    // A flat line gets a unit around it; the ends are round and less than a step beyond.
    const double low = k.lowest == k.highest ? k.lowest - 1 : k.lowest;
    const double high = k.lowest == k.highest ? k.highest + 1 : k.highest;
    const ValueRange r = c.mapping().left;
    const livegraph::AxisTicks t = c.ticks(LiveChart::Edge::Left);
    EXPECT_LE(r.minimum, low);
    EXPECT_GT(r.minimum, low - t.step);
    EXPECT_GE(r.maximum, high);
    EXPECT_LT(r.maximum, high + t.step);
    EXPECT_NEAR(t.first, r.minimum, t.step * 1e-9) << "both ends are labelled";
    EXPECT_NEAR(t.value(t.count - 1), r.maximum, t.step * 1e-9);
    expectRoundLabels(c, LiveChart::Edge::Left, k.decimals);
    QStringList texts = c.labels(LiveChart::Edge::Left);
    EXPECT_EQ(texts.removeDuplicates(), 0) << "every label tells its value";
  }
}

TEST(LiveChartTest, ZoomKeepsTheBandsEndsAndLabelsThemWithRoundSteps) {
  LiveChart c;
  c.resize(800, 500);
  c.createPoints();
  c.setAxisMaximum(Axis::Left, 100);
  const livegraph::PlotMapping m = c.mapping();
  const QPointF from = m.toPixel(101.3, Axis::Left, 61.7);
  const QPointF to = m.toPixel(140.9, Axis::Left, 23.2);
  send(c, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
  send(c, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  ASSERT_TRUE(c.model().isZoomed());
  EXPECT_EQ(c.mapping().left, c.model().range(Axis::Left)) << "the band's ends, not rounded";
  EXPECT_EQ(c.mapping().bottom, c.model().bottomRange());
  expectRoundLabels(c, LiveChart::Edge::Left, 0);
  expectRoundLabels(c, LiveChart::Edge::Bottom, 0);
}

class LiveChartPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    chart.resize(1050, 600);
    chart.createPoints();
    chart.setAxisMaximum(Axis::Left, 1000);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    settle();
    chart.painted.clear();
  }
  // Hands the frame's repaints to Qt and lets it paint.
  void settle() {
    chart.flushRepaint();
    QApplication::processEvents();
    QApplication::processEvents();
  }

  RecordingChart chart;
};

TEST_F(LiveChartPaintTest, ASampleRepaintsOnlyANarrowStripAroundItsPoint) {
  for (int i = 0; i < 250; ++i) chart.advanceSlot();
  chart.plotSample(300, 0, 0, 0, 0);
  EXPECT_TRUE(chart.painted.empty()) << "nothing is painted before the frame";
  settle();
  ASSERT_EQ(chart.painted.size(), 1u);
  const QRect r = chart.painted[0].boundingRect();
  const double x = chart.mapping().xToPixel(250);
  EXPECT_LE(r.left(), x - 2);
  EXPECT_GE(r.right(), x + 2);
  EXPECT_LE(r.width(), 20);
  EXPECT_EQ(r.height(), chart.height()) << "lines may leave the plot vertically";
}

TEST_F(LiveChartPaintTest, TheSamplesOfOneFrameArePaintedTogether) {
  for (int i = 0; i < 8; ++i) plotAndStep(chart, 100 + 10 * i, 0, 0, 0, 0);
  settle();
  ASSERT_EQ(chart.painted.size(), 1u);
  EXPECT_EQ(chart.painted[0].rectCount(), 1);
  const QRect r = chart.painted[0].boundingRect();
  EXPECT_LE(r.left(), chart.mapping().xToPixel(0) - 2);
  EXPECT_GE(r.right(), chart.mapping().xToPixel(8) + 2);
  EXPECT_LT(r.width(), 40);
}

TEST_F(LiveChartPaintTest, ARangeChangeRepaintsTheWholeChartOnce) {
  chart.setAutomatic(Axis::Left, true);
  settle();
  chart.painted.clear();
  plotAndStep(chart, 500, 0, 0, 0, 0);
  plotAndStep(chart, 700, 0, 0, 0, 0);
  settle();
  ASSERT_EQ(chart.painted.size(), 1u);
  EXPECT_EQ(chart.painted[0].boundingRect(), chart.rect());
}

TEST_F(LiveChartPaintTest, ASampleWithinTheRoundEndsOfAnAutomaticRangeRepaintsOnlyItsStrip) {
  chart.setAutomatic(Axis::Left, true);
  plotAndStep(chart, 523, 0, 0, 0, 0);
  settle();
  const ValueRange shown = chart.mapping().left;
  ASSERT_GT(shown.maximum, 523);
  chart.painted.clear();
  for (int i = 0; i < 200; ++i) chart.advanceSlot();
  chart.plotSample((523 + shown.maximum) / 2, 0, 0, 0, 0);
  settle();
  ASSERT_EQ(chart.painted.size(), 1u);
  EXPECT_LE(chart.painted[0].boundingRect().width(), 20) << "the fitted range moved, the axis not";
  EXPECT_EQ(chart.mapping().left, shown);
}

TEST_F(LiveChartPaintTest, StripPaintingMatchesAFullRender) {
  showAll(chart);
  settle();
  for (int i = 0; i < 700; ++i) {
    plotAndStep(chart, 400 + 300 * std::sin(i * 0.1), 200 + 100 * std::cos(i * 0.07),
                30000 + 5000 * std::sin(i * 0.3), 20000, 40000 + 3000 * std::cos(i * 0.2));
    if (i % 7 == 0) settle();
  }
  settle();
  // What the strips left in the window's backing store, not a fresh paint.
  QPaintDevice* store = chart.backingStore()->paintDevice();
  ASSERT_EQ(store->devType(), QInternal::Image);
  const QImage onScreen = static_cast<QImage*>(store)->convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(onScreen.size(), (QSizeF(chart.size()) * chart.devicePixelRatioF()).toSize());
  QImage full(onScreen.size(), QImage::Format_RGB32);
  full.setDevicePixelRatio(onScreen.devicePixelRatio());
  {
    QPainter p(&full);
    chart.render(p, chart.size());
  }
  int differing = 0;
  for (int y = 0; y < full.height(); ++y) {
    for (int x = 0; x < full.width(); ++x) {
      if (full.pixel(x, y) != onScreen.pixel(x, y)) ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
}

using charttest::differingFromFullRender;

TEST_F(LiveChartPaintTest, AMarkerIsALineWithItsTextUntilTheSweepWritesOverIt) {
  for (int i = 0; i < 100; ++i) plotAndStep(chart, 400 + 300 * std::sin(i * 0.1), 0, 0, 0, 0);
  settle();
  chart.addMarker(QStringLiteral("coughed"));
  const int slot = chart.model().lastPlottedSlot();
  ASSERT_EQ(slot, 99);
  settle();
  const QImage img = renderAt(chart, 1.0);
  const livegraph::PlotMapping m = chart.mapping();
  const int x = static_cast<int>(std::lround(m.xToPixel(slot)));
  int line = 0;
  for (int y = static_cast<int>(m.plot.top()) + 30; y < static_cast<int>(m.plot.bottom()); ++y) {
    bool found = false;
    for (int dx = -1; dx <= 1; ++dx) {
      const QColor c = img.pixelColor(x + dx, y);
      found = found || std::abs(c.red() - 0xB0) + c.green() + std::abs(c.blue() - 0x20) < 90;
    }
    line += found;
  }
  EXPECT_GT(line, (m.plot.height() - 30) * 0.8) << "a line from top to bottom";
  EXPECT_EQ(differingFromFullRender(chart), 0) << "the text's strip was repainted with it";

  // The sweep goes on over it and past its text: strip by strip, nothing of it stays.
  for (int i = 0; i < 620; ++i) {
    plotAndStep(chart, 400 + 300 * std::sin(i * 0.1), 0, 0, 0, 0);
    if (i % 5 == 0) settle();
  }
  settle();
  for (const auto& k : chart.model().markers()) EXPECT_LT(k.slot, 0);
  EXPECT_EQ(differingFromFullRender(chart), 0);
}

// Pixels of the breath marks' colour near a slot's column, and how far the farthest lies from
// the point vertically.
struct MarkPixels {
  int count = 0;
  double farthest = 0.0;
};
MarkPixels markPixelsAt(const QImage& img, const livegraph::PlotMapping& m,
                        const livegraph::LiveGraphModel& model, int slot) {
  const QPointF at = m.toPixel(slot, Axis::Left, model.value(kForce1, slot));
  MarkPixels found;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = static_cast<int>(at.x()) - 5; x <= static_cast<int>(at.x()) + 5; ++x) {
      const QColor c = img.pixelColor(x, y);
      if (std::abs(c.red() - 0x1F) + std::abs(c.green() - 0x4E) + std::abs(c.blue() - 0x9A) > 60) {
        continue;
      }
      ++found.count;
      found.farthest = std::max(found.farthest, std::abs(y + 0.5 - at.y()));
    }
  }
  return found;
}

// A crest on the plot's top edge (the tallest of an automatic axis, or one at a fixed maximum) has
// less room above it than a mark takes: its mark is drawn as whole as any other, next to its
// point, at any height of the chart.
TEST(LiveChartTest, EveryBreathMarkIsWholeAndAtItsPointEvenAtTheTopOfTheChart) {
  for (int height : {150, 220, 500}) {
    SCOPED_TRACE(height);
    livegraph::LiveGraphModel model;
    LiveChart c(model);
    c.resize(800, height);
    c.createPoints();
    c.setSeriesVisible(kForce2, false);
    c.setAxisMaximum(Axis::Left, 590);
    c.setAxisMinimum(Axis::Left, 410);
    // Breaths 80 samples long, crests at 20 + 80 k; the fourth is the tallest, at the maximum.
    for (int i = 0; i < 501; ++i) {
      const double depth = (i >= 240 && i < 320) ? 90.0 : 60.0;
      plotAndStep(c, 500 + depth * std::sin(2 * M_PI * i / 80.0), 0, 0, 0, 0);
    }
    std::vector<int> crests;
    for (int slot = 20; slot <= 500; slot += 80) {
      model.markBreath(slot);
      crests.push_back(slot);
    }
    const QImage img = renderAt(c, 1.0);
    const livegraph::PlotMapping m = c.mapping();
    ASSERT_NEAR(m.toPixel(260, Axis::Left, model.value(kForce1, 260)).y(), m.plot.top(), 0.5);
    // A usual mark: the smallest of the crests below the top edge (antialiasing makes their
    // pixel counts differ by the fraction of a pixel their columns fall on).
    int usual = std::numeric_limits<int>::max();
    for (const int slot : crests) {
      if (slot != 260) usual = std::min(usual, markPixelsAt(img, m, model, slot).count);
    }
    ASSERT_GT(usual, 10);
    for (const int slot : crests) {
      SCOPED_TRACE(slot);
      const MarkPixels mark = markPixelsAt(img, m, model, slot);
      EXPECT_GE(mark.count, usual - 2);
      EXPECT_LE(mark.farthest, 12.0);
    }
  }
}

// The frame timer runs only while a repaint waits for the end of its frame: a change a frame or
// more after the last repaint goes to Qt at once, so a slow stream never starts the timer.
TEST(LiveChartFrameTest, TheFrameTimerRunsOnlyWhileARepaintWaits) {
  ManualTickSource clock(5000);
  LiveChart chart;
  chart.setFrameClock(clock);
  chart.resize(1050, 600);
  chart.createPoints();
  EXPECT_FALSE(chart.repaintWaiting()) << "the first repaint goes at once";

  clock.advance(5);
  plotAndStep(chart, 100, 0, 0, 0, 0);
  EXPECT_TRUE(chart.repaintWaiting()) << "5 ms into the frame";
  clock.advance(10);
  plotAndStep(chart, 200, 0, 0, 0, 0);
  EXPECT_TRUE(chart.repaintWaiting());
  chart.flushRepaint();
  EXPECT_FALSE(chart.repaintWaiting()) << "nothing waits once it is handed over";

  for (int i = 0; i < 40; ++i) {
    clock.advance(50);  // 20 samples a second
    plotAndStep(chart, 300 + i, 0, 0, 0, 0);
    ASSERT_FALSE(chart.repaintWaiting()) << "sample " << i;
  }
  clock.advance(16);
  plotAndStep(chart, 400, 0, 0, 0, 0);
  EXPECT_FALSE(chart.repaintWaiting()) << "a whole frame after the last repaint";
  clock.advance(15);
  chart.setSeriesVisible(kAccelX, false);
  EXPECT_TRUE(chart.repaintWaiting()) << "a full repaint waits for the frame too";
}

// A repaint that waits is painted when its frame ends, and a flush with nothing waiting does not
// hold back the next change.
TEST_F(LiveChartPaintTest, AWaitingRepaintIsPaintedAtTheEndOfItsFrame) {
  ManualTickSource clock(5000);
  chart.setFrameClock(clock);
  plotAndStep(chart, 300, 0, 0, 0, 0);
  EXPECT_FALSE(chart.repaintWaiting());
  plotAndStep(chart, 310, 0, 0, 0, 0);
  ASSERT_TRUE(chart.repaintWaiting());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !chart.repaintWaiting(); }, 5000));
  QApplication::processEvents();
  ASSERT_FALSE(chart.painted.empty());
  EXPECT_GE(chart.painted.back().boundingRect().right(), chart.mapping().xToPixel(2));

  clock.advance(16);
  chart.flushRepaint();
  plotAndStep(chart, 320, 0, 0, 0, 0);
  EXPECT_FALSE(chart.repaintWaiting());
}

}  // namespace
}  // namespace kelvaro
