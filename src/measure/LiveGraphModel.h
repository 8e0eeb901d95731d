#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace kelvaro {

// The live graph without its widget: seven series of 501 points written in place at the write
// position GraphSlot, which series are shown, the axis ranges (fixed, automatic, zoomed), the
// mapping between values and pixels, and the cursor measurement texts. LiveChart draws it.
namespace livegraph {

inline constexpr int kPointCount = 501;
inline constexpr int kLastPoint = kPointCount - 1;
inline constexpr int kSeriesCount = 7;

// Series indexes; the rest of the program addresses the series by them.
inline constexpr int kForce1 = 0;
inline constexpr int kAccelX = 1;
inline constexpr int kAccelY = 2;
inline constexpr int kAccelZ = 3;
inline constexpr int kBatteryVoltage = 4;
inline constexpr int kTemperature = 5;
inline constexpr int kForce2 = 6;

enum class Axis { Left, Right };

struct SeriesStyle {
  const char* name;
  const char* title;  // legend text
  Axis axis;
  std::uint8_t red, green, blue;
  int width;  // line width in pixels
  bool inLegend;
};

inline constexpr std::array<SeriesStyle, kSeriesCount> kSeriesStyles{{
    {"Series1Freq1", "Force 1", Axis::Left, 255, 128, 0, 3, true},
    {"Series2x", "Acc. x ", Axis::Right, 255, 0, 0, 1, true},
    {"Series3y", "Acc. y", Axis::Right, 0, 128, 0, 1, true},
    {"Series4z", "Acc. z", Axis::Right, 128, 128, 255, 1, true},
    {"Series5Un", "Battery Voltage", Axis::Right, 0, 0, 255, 1, false},
    {"Series6Temp", "Internal Temperature", Axis::Right, 128, 128, 128, 1, false},
    {"Series7Freq2", "Force 2", Axis::Left, 128, 0, 255, 2, true},
}};

inline constexpr double kDefaultAxisMinimum = 0.0;
inline constexpr double kDefaultAxisMaximum = 65535.0;
// Time between two samples, for the cursor's time delta.
inline constexpr double kSampleMilliseconds = 50.0;

inline constexpr char kMaximumRefusal[] = "Axis Maximum Value must be >= Minimum";
inline constexpr char kMinimumRefusal[] = "Axis Minimum Value must be <= Maximum";

struct ValueRange {
  double minimum = 0.0;
  double maximum = 0.0;

  double span() const { return maximum - minimum; }
  bool operator==(const ValueRange& other) const {
    return minimum == other.minimum && maximum == other.maximum;
  }
  bool operator!=(const ValueRange& other) const { return !(*this == other); }
};

// Value <-> pixel conversion for one plot rectangle: the bottom axis runs left to right over the
// rectangle, the vertical axes bottom to top. Values outside the ranges map outside the rectangle.
struct PlotMapping {
  QRectF plot;
  ValueRange bottom;
  ValueRange left;
  ValueRange right;

  const ValueRange& vertical(Axis axis) const { return axis == Axis::Left ? left : right; }
  double xToPixel(double x) const;
  double pixelToX(double px) const;
  double yToPixel(Axis axis, double y) const;
  double pixelToY(Axis axis, double py) const;
  QPointF toPixel(double x, Axis axis, double y) const { return {xToPixel(x), yToPixel(axis, y)}; }
};

// The labelled values of an axis: multiples of step from first to last (inclusive).
struct AxisTicks {
  double first = 0.0;
  double step = 1.0;
  int count = 0;

  double value(int i) const { return first + step * i; }
};

// Ticks for a range on an axis `length` pixels long whose labels need `labelExtent` pixels each
// plus `separation` times that as space between them. The step is 1, 2 or 5 times a power of ten.
AxisTicks chooseTicks(const ValueRange& range, double length, double labelExtent,
                      double separation);

// Texts for the cursor measurement fields after a press: timeDelta (time) and forceDelta (force).
struct PressTexts {
  QString timeDelta;
  QString forceDelta;
};
// After a pointer movement: the position fields and the distances from the last press.
struct MoveTexts {
  QString timeValue;
  QString forceValue;
  QString timeDelta;
  QString forceDelta;
};

class LiveGraphModel {
 public:
  using Points = std::array<double, kPointCount>;

  LiveGraphModel();

  // The series are empty until the window is first shown; then each gets 501 points (i, 0).
  void createPoints();
  bool hasPoints() const { return hasPoints_; }

  // Overwrites the point at GraphSlot: Force 1, Force 2, then the three accelerations. Battery
  // and temperature are never written. Does not move GraphSlot.
  void plotSample(double force1Grams, double force2Grams, double accelX, double accelY,
                  double accelZ);
  void advanceSlot() { ++graphSlot_; }
  // The write position starts again at 0 after point 500; true when it wrapped.
  bool wrapSlot();
  void resetSlot() { graphSlot_ = 0; }
  int graphSlot() const { return graphSlot_; }
  // All points of all series back to 0, and no breath marks; GraphSlot is left alone.
  void clearLiveGraph();

  // A breath peaked at the sample plotted at slot: the chart marks it on Force 1 until the slot
  // is written again.
  void markBreath(int slot) {
    if (slot >= 0 && slot <= kLastPoint) breathMarks_[static_cast<std::size_t>(slot)] = true;
  }
  // A person's marker at the sample plotted at slot: the chart draws a thin vertical line there
  // with the text, until the slot is written again. The oldest gives way when kMaxMarkers are
  // on the sweep.
  static constexpr std::size_t kMaxMarkers = 16;
  struct Marker {
    int slot = -1;  // -1: none
    QString text;
  };
  void addMarker(int slot, const QString& text);
  const std::array<Marker, kMaxMarkers>& markers() const { return markers_; }
  // The slot of the sample plotted last (the one before the write position).
  int lastPlottedSlot() const { return graphSlot_ <= 0 ? kLastPoint : graphSlot_ - 1; }

  // The data stopped (a lost link): the line is not drawn from the last point to the next one
  // plotted, until that point is written again.
  void breakLine() { pendingBreak_ = true; }
  bool lineBrokenBefore(int slot) const {
    return slot >= 0 && slot <= kLastPoint && lineBreaks_[static_cast<std::size_t>(slot)];
  }
  bool breathMarked(int slot) const {
    return slot >= 0 && slot <= kLastPoint && breathMarks_[static_cast<std::size_t>(slot)];
  }

  const Points& points(int series) const { return values_[static_cast<std::size_t>(series)]; }
  double value(int series, int point) const {
    return values_[static_cast<std::size_t>(series)][static_cast<std::size_t>(point)];
  }

  // A hidden series goes on being written and shows its current values when shown again.
  void setSeriesVisible(int series, bool visible);
  bool isSeriesVisible(int series) const { return visible_[static_cast<std::size_t>(series)]; }

  // Automatic axes fit all points of their shown series (battery and temperature count on the
  // right); a flat line gets one unit above and below it; an axis without a shown series with
  // points keeps its fixed limits.
  void setAutomatic(Axis axis, bool automatic);
  bool isAutomatic(Axis axis) const { return axes_[index(axis)].automatic; }
  // The axis shows the range fitted to its series: automatic, not zoomed, with a shown series.
  bool isFitted(Axis axis) const;
  // Sets a fixed limit. A maximum below the axis' current minimum (a minimum above its current
  // maximum) is refused: the result is the message and nothing changes. The current range is the
  // one the axis shows. A new limit of a zoomed axis ends that axis' zoom.
  [[nodiscard]] std::optional<QString> setMaximum(Axis axis, double maximum);
  [[nodiscard]] std::optional<QString> setMinimum(Axis axis, double minimum);
  ValueRange fixedRange(Axis axis) const { return axes_[index(axis)].fixed; }

  // The ranges the axes show now: zoomed, else automatic, else fixed.
  ValueRange range(Axis axis) const;
  ValueRange bottomRange() const;
  PlotMapping mapping(const QRectF& plot) const;

  // Zooming replaces all three ranges until unzoom().
  void zoom(const ValueRange& bottom, const ValueRange& left, const ValueRange& right);
  void unzoom();
  bool isZoomed() const { return bottomZoom_.has_value(); }

  // Cursor measurement in axis values (bottom, left).
  PressTexts press(double x, double y);
  MoveTexts move(double x, double y) const;
  double pressX() const { return x0_; }
  double pressY() const { return y0_; }

 private:
  struct AxisState {
    ValueRange fixed{kDefaultAxisMinimum, kDefaultAxisMaximum};
    bool automatic = false;
    std::optional<ValueRange> zoomed;
    mutable std::optional<ValueRange> fitted;  // cache of the automatic range
  };

  // Smallest and largest value of a run of points.
  struct Extremes {
    double lo;
    double hi;
  };
  // A tournament tree over one series' points, so that writing a point costs a walk up its
  // branch instead of a scan of the series when the automatic range is read after every sample.
  // Node 1 is the root, the leaves start at kLeaves; ties resolve to the leftmost minimum and the
  // rightmost maximum, exactly as a scan with std::minmax_element does.
  struct SeriesExtremes {
    static constexpr std::size_t kLeaves = 512;
    std::array<Extremes, 2 * kLeaves> nodes;
    int nanCount = 0;
    bool current = false;  // false: rebuild from the points before it is read
  };
  static_assert(SeriesExtremes::kLeaves >= kPointCount);

  static std::size_t index(Axis axis) { return axis == Axis::Left ? 0 : 1; }
  static Axis axisOf(int series) { return kSeriesStyles[static_cast<std::size_t>(series)].axis; }
  void write(int series, std::size_t at, double value);
  // Only series that an automatic range can read are kept current while points are written.
  bool tracked(int series) const {
    return isSeriesVisible(series) && axes_[index(axisOf(series))].automatic;
  }
  const SeriesExtremes& extremes(int series) const;
  std::optional<ValueRange> fit(Axis axis) const;
  std::optional<ValueRange> scanFit(Axis axis) const;
  void invalidateFit() {
    for (AxisState& a : axes_) a.fitted.reset();
  }
  void invalidateExtremes() {
    for (SeriesExtremes& e : extremes_) e.current = false;
  }

  std::array<Points, kSeriesCount> values_{};
  mutable std::array<SeriesExtremes, kSeriesCount> extremes_{};
  std::array<bool, kSeriesCount> visible_{};
  std::array<bool, kPointCount> breathMarks_{};
  std::array<Marker, kMaxMarkers> markers_{};
  std::size_t nextMarker_ = 0;
  std::array<bool, kPointCount> lineBreaks_{};
  bool pendingBreak_ = false;
  bool hasPoints_ = false;
  std::int32_t graphSlot_ = 0;
  std::array<AxisState, 2> axes_{};
  std::optional<ValueRange> bottomZoom_;
  double x0_ = 0.0;
  double y0_ = 0.0;
};

}  // namespace livegraph
}  // namespace kelvaro
