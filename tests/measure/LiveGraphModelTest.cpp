#include <gtest/gtest.h>

#include <QRectF>
#include <QString>
#include <vector>

#include "measure/LiveGraphModel.h"

namespace kelvaro::livegraph {
namespace {

// The caller's order for one plotted notification: plot, advance, then wrap.
void plotAndStep(LiveGraphModel& m, double f1, double f2 = 0, double ax = 0, double ay = 0,
                 double az = 0) {
  m.plotSample(f1, f2, ax, ay, az);
  m.advanceSlot();
  m.wrapSlot();
}

LiveGraphModel created() {
  LiveGraphModel m;
  m.createPoints();
  return m;
}

TEST(LiveGraphModelTest, SeriesAreEmptyUntilCreatedThenHold501Zeros) {
  LiveGraphModel m;
  EXPECT_FALSE(m.hasPoints());
  m.plotSample(5, 5, 5, 5, 5);
  m.createPoints();
  ASSERT_TRUE(m.hasPoints());
  for (int s = 0; s < kSeriesCount; ++s) {
    EXPECT_EQ(m.points(s).size(), 501u);
    for (double v : m.points(s)) EXPECT_EQ(v, 0.0);
  }
  EXPECT_EQ(m.graphSlot(), 0);
}

TEST(LiveGraphModelTest, PlotSampleWritesEachSeriesAtTheSlotAndLeavesBatteryAndTemperature) {
  LiveGraphModel m = created();
  m.advanceSlot();
  m.advanceSlot();
  m.plotSample(12.5, -3.0, 16, -16, 256);
  EXPECT_EQ(m.graphSlot(), 2) << "plotting does not move the write position";
  EXPECT_EQ(m.value(kForce1, 2), 12.5);
  EXPECT_EQ(m.value(kForce2, 2), -3.0);
  EXPECT_EQ(m.value(kAccelX, 2), 16);
  EXPECT_EQ(m.value(kAccelY, 2), -16);
  EXPECT_EQ(m.value(kAccelZ, 2), 256);
  EXPECT_EQ(m.value(kBatteryVoltage, 2), 0.0);
  EXPECT_EQ(m.value(kTemperature, 2), 0.0);
  EXPECT_EQ(m.value(kForce1, 1), 0.0);
  EXPECT_EQ(m.value(kForce1, 3), 0.0);
}

TEST(LiveGraphModelTest, The501stSampleGoesToPoint500AndThe502ndOverwritesPoint0) {
  LiveGraphModel m = created();
  for (int i = 1; i <= 500; ++i) plotAndStep(m, i);
  EXPECT_EQ(m.graphSlot(), 500);
  m.plotSample(501, 0, 0, 0, 0);
  m.advanceSlot();
  EXPECT_EQ(m.graphSlot(), 501) << "advance alone does not wrap";
  EXPECT_TRUE(m.wrapSlot());
  EXPECT_EQ(m.graphSlot(), 0);
  EXPECT_EQ(m.value(kForce1, 500), 501);
  plotAndStep(m, 502);
  EXPECT_EQ(m.value(kForce1, 0), 502);
  EXPECT_EQ(m.value(kForce1, 1), 2) << "the rest of the previous sweep stays";
  EXPECT_EQ(m.graphSlot(), 1);
}

TEST(LiveGraphModelTest, WrapOnlyActsAt501) {
  LiveGraphModel m = created();
  for (int i = 0; i < 500; ++i) m.advanceSlot();
  EXPECT_FALSE(m.wrapSlot());
  EXPECT_EQ(m.graphSlot(), 500);
}

TEST(LiveGraphModelTest, ClearZeroesEveryPointButKeepsTheSlot) {
  LiveGraphModel m = created();
  for (int i = 0; i < 7; ++i) plotAndStep(m, 100 + i, 50, 1, 2, 3);
  m.clearLiveGraph();
  for (int s = 0; s < kSeriesCount; ++s) {
    for (double v : m.points(s)) ASSERT_EQ(v, 0.0);
  }
  EXPECT_EQ(m.graphSlot(), 7);
  m.resetSlot();
  EXPECT_EQ(m.graphSlot(), 0);
}

TEST(LiveGraphModelTest, HiddenSeriesKeepsBeingWrittenAndShowsItsValuesAgain) {
  LiveGraphModel m = created();
  m.setSeriesVisible(kForce1, false);
  for (int i = 0; i < 10; ++i) plotAndStep(m, 40.0 + i);
  EXPECT_FALSE(m.isSeriesVisible(kForce1));
  m.setSeriesVisible(kForce1, true);
  EXPECT_TRUE(m.isSeriesVisible(kForce1));
  EXPECT_EQ(m.value(kForce1, 0), 40.0);
  EXPECT_EQ(m.value(kForce1, 9), 49.0);
}

TEST(LiveGraphModelTest, AxesStartFixedAt0To65535) {
  LiveGraphModel m;
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{0, 65535}));
  EXPECT_EQ(m.range(Axis::Right), (ValueRange{0, 65535}));
  EXPECT_EQ(m.bottomRange(), (ValueRange{0, 500}));
  EXPECT_FALSE(m.isAutomatic(Axis::Left));
}

TEST(LiveGraphModelTest, LeftAutoscaleFitsOnlyTheShownForceSeries) {
  LiveGraphModel m = created();
  m.setSeriesVisible(kForce2, false);
  for (int i = 0; i < 501; ++i) plotAndStep(m, 100 + i, 5000 - i);
  m.setAutomatic(Axis::Left, true);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{100, 600}));
  m.setSeriesVisible(kForce2, true);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{100, 5000}));
  m.setSeriesVisible(kForce1, false);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{4500, 5000}));
}

TEST(LiveGraphModelTest, RightAutoscaleAlwaysCountsTheFlatBatteryAndTemperatureLines) {
  LiveGraphModel m = created();
  for (int i = 0; i < 501; ++i) plotAndStep(m, 0, 0, 200 + i, 300, 400);
  m.setSeriesVisible(kAccelY, false);
  m.setSeriesVisible(kAccelZ, false);
  m.setAutomatic(Axis::Right, true);
  EXPECT_EQ(m.range(Axis::Right), (ValueRange{0, 700}));
}

TEST(LiveGraphModelTest, AutoscaleFollowsNewSamplesAndOverwrittenExtremes) {
  LiveGraphModel m = created();
  m.setSeriesVisible(kForce2, false);
  m.setAutomatic(Axis::Left, true);
  plotAndStep(m, 900);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{0, 900}));
  m.resetSlot();
  plotAndStep(m, 300);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{0, 300}));
}

TEST(LiveGraphModelTest, AutoscaleOfAFlatLineGivesOneUnitEitherSide) {
  LiveGraphModel m = created();
  m.setAutomatic(Axis::Left, true);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{-1, 1}));
}

TEST(LiveGraphModelTest, AutomaticAxisWithoutShownSeriesKeepsItsFixedLimits) {
  LiveGraphModel m = created();
  ASSERT_FALSE(m.setMaximum(Axis::Left, 500));
  m.setSeriesVisible(kForce1, false);
  m.setSeriesVisible(kForce2, false);
  m.setAutomatic(Axis::Left, true);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{0, 500}));
}

TEST(LiveGraphModelTest, FixedLimitsSetWhileAutomaticShowWhenAutoscalingIsOff) {
  LiveGraphModel m = created();
  m.setAutomatic(Axis::Left, true);
  ASSERT_FALSE(m.setMaximum(Axis::Left, 500));
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{-1, 1}));
  m.setAutomatic(Axis::Left, false);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{0, 500}));
}

TEST(LiveGraphModelTest, AxisLimitRefusals) {
  struct Case {
    const char* what;
    double min, max;  // the axis' range before
    bool setMax;
    double value;
    const char* refusal;  // nullptr: accepted
  };
  const std::vector<Case> cases{
      {"maximum below minimum", 45000, 65535, true, 10, kMaximumRefusal},
      {"maximum equal to minimum", 45000, 65535, true, 45000, nullptr},
      {"minimum above maximum", 0, 500, false, 501, kMinimumRefusal},
      {"minimum equal to maximum", 0, 500, false, 500, nullptr},
      {"negative minimum", 0, 500, false, -20, nullptr},
  };
  for (const Axis axis : {Axis::Left, Axis::Right}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      LiveGraphModel m = created();
      ASSERT_FALSE(m.setMaximum(axis, c.max));
      ASSERT_FALSE(m.setMinimum(axis, c.min));
      const auto result = c.setMax ? m.setMaximum(axis, c.value) : m.setMinimum(axis, c.value);
      if (c.refusal) {
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, QString::fromLatin1(c.refusal));
        EXPECT_EQ(m.range(axis), (ValueRange{c.min, c.max})) << "the axis keeps its range";
      } else {
        EXPECT_FALSE(result.has_value());
        EXPECT_EQ(c.setMax ? m.range(axis).maximum : m.range(axis).minimum, c.value);
      }
    }
  }
}

TEST(LiveGraphModelTest, TypingDigitByDigitCanMeetARefusalOnTheWay) {
  LiveGraphModel m = created();
  ASSERT_FALSE(m.setMinimum(Axis::Left, 400));
  // Typing 1000 into the maximum field passes through 1, 10 and 100.
  EXPECT_TRUE(m.setMaximum(Axis::Left, 1).has_value());
  EXPECT_TRUE(m.setMaximum(Axis::Left, 10).has_value());
  EXPECT_TRUE(m.setMaximum(Axis::Left, 100).has_value());
  EXPECT_FALSE(m.setMaximum(Axis::Left, 1000).has_value());
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{400, 1000}));
}

TEST(LiveGraphModelTest, MappingRoundTripsAndExtrapolatesBeyondTheRanges) {
  LiveGraphModel m = created();
  ASSERT_FALSE(m.setMaximum(Axis::Left, 500));
  const PlotMapping map = m.mapping(QRectF(50, 20, 1000, 400));
  EXPECT_DOUBLE_EQ(map.xToPixel(0), 50);
  EXPECT_DOUBLE_EQ(map.xToPixel(500), 1050);
  EXPECT_DOUBLE_EQ(map.yToPixel(Axis::Left, 0), 420);
  EXPECT_DOUBLE_EQ(map.yToPixel(Axis::Left, 500), 20);
  EXPECT_LT(map.yToPixel(Axis::Left, 600), 20) << "600 g lies above the plot";
  EXPECT_DOUBLE_EQ(map.yToPixel(Axis::Right, 65535), 20);
  EXPECT_GT(map.yToPixel(Axis::Right, -100), 420) << "negative acceleration below the range";
  EXPECT_NEAR(map.pixelToX(map.xToPixel(123.25)), 123.25, 1e-9);
  EXPECT_NEAR(map.pixelToY(Axis::Left, map.yToPixel(Axis::Left, 20.5)), 20.5, 1e-9);
}

TEST(LiveGraphModelTest, ZoomReplacesAllRangesUntilUnzoom) {
  LiveGraphModel m = created();
  m.setAutomatic(Axis::Left, true);
  m.zoom({100, 200}, {10, 20}, {-5, 5});
  EXPECT_TRUE(m.isZoomed());
  plotAndStep(m, 5000);
  EXPECT_EQ(m.bottomRange(), (ValueRange{100, 200}));
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{10, 20})) << "autoscale waits while zoomed";
  EXPECT_EQ(m.range(Axis::Right), (ValueRange{-5, 5}));
  m.unzoom();
  EXPECT_FALSE(m.isZoomed());
  EXPECT_EQ(m.bottomRange(), (ValueRange{0, 500}));
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{0, 5000}));
  EXPECT_EQ(m.range(Axis::Right), (ValueRange{0, 65535}));
}

TEST(LiveGraphModelTest, CursorTextsForAPressAt100And20Point5ThenAMoveTo160) {
  LiveGraphModel m = created();
  const PressTexts pressed = m.press(100, 20.5);
  EXPECT_EQ(pressed.Edit7, "100.00 s");
  EXPECT_EQ(pressed.Edit8, "20.50 bar ");
  EXPECT_EQ(m.pressX(), 100);
  EXPECT_EQ(m.pressY(), 20.5);
  const MoveTexts moved = m.move(160, 32.4);
  EXPECT_EQ(moved.Edit7, "60 (3000 ms)");
  EXPECT_EQ(moved.Edit8, "12 g");
  EXPECT_EQ(moved.EditPosX, "160 ");
  EXPECT_EQ(moved.EditPosY, "32 g");
  const MoveTexts back = m.move(90.4, 8);
  // The minus sign goes in front of the whole picture, brackets included.
  EXPECT_EQ(back.Edit7, "-10 -(480 ms)");
  EXPECT_EQ(back.Edit8, "-13 g");
}

TEST(LiveGraphModelTest, TicksUseOneTwoOrFiveTimesAPowerOfTen) {
  struct Case {
    ValueRange range;
    double length, extent, separation;
    double first, step;
    int count;
  };
  const std::vector<Case> cases{
      {{0, 500}, 950, 24, 0.4, 0, 20, 26},     {{0, 65535}, 450, 16, 1.0, 0, 5000, 14},
      {{-1, 1}, 400, 16, 1.0, -1, 0.2, 11},    {{103, 877}, 300, 16, 1.0, 200, 100, 7},
      {{-250, 30}, 300, 16, 1.0, -250, 50, 6},
  };
  for (const Case& c : cases) {
    const AxisTicks t = chooseTicks(c.range, c.length, c.extent, c.separation);
    SCOPED_TRACE(c.range.maximum);
    EXPECT_DOUBLE_EQ(t.step, c.step);
    EXPECT_DOUBLE_EQ(t.first, c.first);
    EXPECT_EQ(t.count, c.count);
    EXPECT_LE(t.value(t.count - 1), c.range.maximum + 1e-9);
  }
}

}  // namespace
}  // namespace kelvaro::livegraph
