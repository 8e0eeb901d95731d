#include <gtest/gtest.h>

#include <QRectF>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
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

// The automatic range by its definition: a scan of every point of the shown series of the axis.
ValueRange scannedRange(const LiveGraphModel& m, Axis axis) {
  if (!m.hasPoints()) return m.fixedRange(axis);
  std::optional<ValueRange> r;
  for (int s = 0; s < kSeriesCount; ++s) {
    if (kSeriesStyles[static_cast<std::size_t>(s)].axis != axis || !m.isSeriesVisible(s)) continue;
    const auto [mn, mx] = std::minmax_element(m.points(s).begin(), m.points(s).end());
    if (!r) {
      r = ValueRange{*mn, *mx};
    } else {
      r->minimum = std::min(r->minimum, *mn);
      r->maximum = std::max(r->maximum, *mx);
    }
  }
  if (!r) return m.fixedRange(axis);
  if (r->minimum == r->maximum) return {r->minimum - 1.0, r->maximum + 1.0};
  return *r;
}

// Equal to the bit, so that NaN equals NaN and 0 differs from -0.
bool sameBits(const ValueRange& a, const ValueRange& b) {
  return std::memcmp(&a.minimum, &b.minimum, sizeof(double)) == 0 &&
         std::memcmp(&a.maximum, &b.maximum, sizeof(double)) == 0;
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

TEST(LiveGraphModelTest, AutoscaleShrinksAsEachExtremePointIsOverwritten) {
  struct Case {
    int maxAt;
    int minAt;
  };
  const std::vector<Case> cases{{0, 500}, {500, 0}, {250, 251}, {1, 499}, {300, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "maximum at " << c.maxAt << ", minimum at " << c.minAt);
    LiveGraphModel m = created();
    m.setSeriesVisible(kForce2, false);
    m.setAutomatic(Axis::Left, true);
    for (int i = 0; i < kPointCount; ++i) {
      plotAndStep(m, i == c.maxAt ? 900 : i == c.minAt ? 10 : 100);
    }
    ASSERT_EQ(m.range(Axis::Left), (ValueRange{10, 900}));
    // The next sweep writes 200 everywhere, reading the range after every sample as the chart does.
    for (int i = 0; i < kLastPoint; ++i) {
      plotAndStep(m, 200);
      bool hundredLeft = false;
      for (int j = i + 1; j < kPointCount; ++j) hundredLeft |= j != c.maxAt && j != c.minAt;
      const double lo = i < c.minAt ? 10 : hundredLeft ? 100 : 200;
      const double hi = i >= c.maxAt ? 200 : 900;
      ASSERT_EQ(m.range(Axis::Left), (ValueRange{lo, hi})) << "after overwriting point " << i;
    }
    plotAndStep(m, 200);
    EXPECT_EQ(m.range(Axis::Left), (ValueRange{199, 201})) << "the whole sweep is a flat line";
  }
}

TEST(LiveGraphModelTest, AutoscaleCountsSamplesWrittenWhileTheSeriesWasHidden) {
  LiveGraphModel m = created();
  m.setSeriesVisible(kForce2, false);
  m.setAutomatic(Axis::Left, true);
  for (int i = 0; i < 10; ++i) plotAndStep(m, 700 + i);
  ASSERT_EQ(m.range(Axis::Left), (ValueRange{0, 709}));
  m.setSeriesVisible(kForce1, false);
  m.resetSlot();
  for (int i = 0; i < 5; ++i) plotAndStep(m, -30 - i);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{0, 65535})) << "no shown series: the fixed limits";
  m.setSeriesVisible(kForce1, true);
  EXPECT_EQ(m.range(Axis::Left), (ValueRange{-34, 709}));
}

TEST(LiveGraphModelTest, AutoscaleCountsSamplesWrittenWhileItWasOff) {
  LiveGraphModel m = created();
  m.setAutomatic(Axis::Right, true);
  for (int i = 0; i < 20; ++i) plotAndStep(m, 0, 0, 5, -5, 300);
  ASSERT_EQ(m.range(Axis::Right), (ValueRange{-5, 300}));
  m.setAutomatic(Axis::Right, false);
  m.resetSlot();
  for (int i = 0; i < 20; ++i) plotAndStep(m, 0, 0, 5, -5, 250);
  m.setAutomatic(Axis::Right, true);
  EXPECT_EQ(m.range(Axis::Right), (ValueRange{-5, 250}));
}

TEST(LiveGraphModelTest, AutoscaleAfterClearOrRecreateFitsTheZeroLineThenNewSamples) {
  for (const bool recreate : {false, true}) {
    SCOPED_TRACE(recreate ? "createPoints" : "clearLiveGraph");
    LiveGraphModel m = created();
    m.setAutomatic(Axis::Left, true);
    for (int i = 0; i < 30; ++i) plotAndStep(m, 1000 - i, -200);
    ASSERT_EQ(m.range(Axis::Left), (ValueRange{-200, 1000}));
    recreate ? m.createPoints() : m.clearLiveGraph();
    EXPECT_EQ(m.range(Axis::Left), (ValueRange{-1, 1}));
    plotAndStep(m, 40, 0);
    EXPECT_EQ(m.range(Axis::Left), (ValueRange{0, 40}));
  }
}

TEST(LiveGraphModelTest, AutoscaleWithANotANumberPointIsWhatAScanGivesUntilItIsOverwritten) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const int at : {0, 3, 500}) {
    SCOPED_TRACE(at);
    LiveGraphModel m = created();
    m.setAutomatic(Axis::Left, true);
    for (int i = 0; i < kPointCount; ++i) plotAndStep(m, i == at ? nan : 50 + i % 7, 20);
    EXPECT_TRUE(sameBits(m.range(Axis::Left), scannedRange(m, Axis::Left)));
    for (int i = 0; i < at; ++i) m.advanceSlot();
    plotAndStep(m, 80, 20);
    EXPECT_EQ(m.range(Axis::Left), (ValueRange{20, 80}));
  }
}

TEST(LiveGraphModelTest, AutoscaleEqualsAFullScanThroughARandomRunOfEdits) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Few distinct values, so that ties and overwritten extremes are common; the rare ones come
  // once in 40 samples.
  struct Case {
    const char* what;
    std::vector<double> common;
    std::vector<double> rare;
  };
  const std::vector<Case> cases{
      {"mixed", {-0.0, 0.0, 1, -1, 2.5, 7, -7, 40, -40, 1e300}, {-inf, inf, nan}},
      {"0 and -0 as the minimum", {-0.0, 0.0, 5}, {}},
      {"0 and -0 as the maximum", {-0.0, 0.0, -5}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::mt19937 rng(20240611);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    auto value = [&] {
      if (!c.rare.empty() && pick(40) == 0) return c.rare[pick(c.rare.size())];
      return c.common[pick(c.common.size())];
    };
    LiveGraphModel m = created();
    m.setAutomatic(Axis::Left, true);
    m.setAutomatic(Axis::Right, true);
    for (int step = 0; step < 3000; ++step) {
      const std::size_t op = pick(100);
      if (op < 80) {
        plotAndStep(m, value(), value(), value(), value(), value());
      } else if (op < 85) {
        m.advanceSlot();
        m.wrapSlot();
      } else if (op < 87) {
        m.resetSlot();
        for (std::size_t i = pick(kPointCount); i > 0; --i) m.advanceSlot();
      } else if (op < 94) {
        const int s = static_cast<int>(pick(kSeriesCount));
        m.setSeriesVisible(s, !m.isSeriesVisible(s));
      } else if (op < 98) {
        const Axis axis = pick(2) == 0 ? Axis::Left : Axis::Right;
        m.setAutomatic(axis, !m.isAutomatic(axis));
      } else if (op < 99) {
        m.clearLiveGraph();
      } else {
        m.createPoints();
      }
      for (const Axis axis : {Axis::Left, Axis::Right}) {
        const ValueRange expected =
            m.isAutomatic(axis) ? scannedRange(m, axis) : m.fixedRange(axis);
        const ValueRange got = m.range(axis);
        ASSERT_TRUE(sameBits(got, expected))
            << "step " << step << (axis == Axis::Left ? " left" : " right") << ": got ["
            << got.minimum << ", " << got.maximum << "], a scan gives [" << expected.minimum << ", "
            << expected.maximum << "]";
      }
    }
  }
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
  EXPECT_EQ(pressed.timeDelta, "100.00 s");
  EXPECT_EQ(pressed.forceDelta, "20.50 bar ");
  EXPECT_EQ(m.pressX(), 100);
  EXPECT_EQ(m.pressY(), 20.5);
  const MoveTexts moved = m.move(160, 32.4);
  EXPECT_EQ(moved.timeDelta, "60 (3000 ms)");
  EXPECT_EQ(moved.forceDelta, "12 g");
  EXPECT_EQ(moved.timeValue, "160 ");
  EXPECT_EQ(moved.forceValue, "32 g");
  const MoveTexts back = m.move(90.4, 8);
  // The minus sign goes in front of the whole picture, brackets included.
  EXPECT_EQ(back.timeDelta, "-10 -(480 ms)");
  EXPECT_EQ(back.forceDelta, "-13 g");
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
