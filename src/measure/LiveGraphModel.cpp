#include "measure/LiveGraphModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/AxisScale.h"
#include "base/Formats.h"

namespace kelvaro::livegraph {

namespace {

// A zero-width range would divide by zero; such an axis maps everything to its middle.
double scaleOf(const ValueRange& range, double pixels) {
  const double span = range.span();
  return span == 0.0 ? 0.0 : pixels / span;
}

// The tree's node rule: the left child wins ties of the minimum, the right child ties of the
// maximum, so that among equal values (0 and -0) the same one wins as in a left-to-right scan.
template <typename E>
E combine(const E& l, const E& r) {
  return {r.lo < l.lo ? r.lo : l.lo, r.hi < l.hi ? l.hi : r.hi};
}

}  // namespace

double PlotMapping::xToPixel(double x) const {
  const double s = scaleOf(bottom, plot.width());
  if (s == 0.0) return plot.center().x();
  return plot.left() + (x - bottom.minimum) * s;
}

double PlotMapping::pixelToX(double px) const {
  const double s = scaleOf(bottom, plot.width());
  if (s == 0.0) return bottom.minimum;
  return bottom.minimum + (px - plot.left()) / s;
}

double PlotMapping::yToPixel(Axis axis, double y) const {
  const ValueRange& r = vertical(axis);
  const double s = scaleOf(r, plot.height());
  if (s == 0.0) return plot.center().y();
  return plot.bottom() - (y - r.minimum) * s;
}

double PlotMapping::pixelToY(Axis axis, double py) const {
  const ValueRange& r = vertical(axis);
  const double s = scaleOf(r, plot.height());
  if (s == 0.0) return r.minimum;
  return r.minimum + (plot.bottom() - py) / s;
}

AxisTicks chooseTicks(const ValueRange& range, double length, double labelExtent,
                      double separation) {
  const double perLabel = std::max(1.0, labelExtent * (1.0 + separation));
  const double room = std::isfinite(length) ? std::floor(length / perLabel) : 1.0;
  const axes::Scale s =
      axes::fixedScale(range.minimum, range.maximum, static_cast<int>(std::clamp(room, 1.0, 1e6)));
  return AxisTicks{s.first, s.step, s.count};
}

LiveGraphModel::LiveGraphModel() { visible_.fill(true); }

void LiveGraphModel::createPoints() {
  for (Points& p : values_) p.fill(0.0);
  hasPoints_ = true;
  invalidateFit();
  invalidateExtremes();
}

void LiveGraphModel::plotSample(double force1Grams, double force2Grams, double accelX,
                                double accelY, double accelZ) {
  if (!hasPoints_ || graphSlot_ < 0 || graphSlot_ > kLastPoint) return;
  const auto at = static_cast<std::size_t>(graphSlot_);
  breathMarks_[at] = false;
  for (Marker& m : markers_) {
    if (m.slot == graphSlot_) m.slot = -1;
  }
  lineBreaks_[at] = pendingBreak_;
  pendingBreak_ = false;
  write(kForce1, at, force1Grams);
  write(kForce2, at, force2Grams);
  write(kAccelX, at, accelX);
  write(kAccelY, at, accelY);
  write(kAccelZ, at, accelZ);
  invalidateFit();
}

void LiveGraphModel::write(int series, std::size_t at, double value) {
  const auto s = static_cast<std::size_t>(series);
  double& point = values_[s][at];
  SeriesExtremes& e = extremes_[s];
  if (!e.current || !tracked(series)) {
    point = value;
    e.current = false;
    return;
  }
  e.nanCount += static_cast<int>(std::isnan(value)) - static_cast<int>(std::isnan(point));
  point = value;
  std::size_t n = SeriesExtremes::kLeaves + at;
  Extremes carried{value, value};
  e.nodes[n] = carried;
  // The whole path up to the root is rewritten every time: stopping early where a node comes
  // out unchanged costs more in mispredicted branches on a noisy signal than it saves. The new
  // extremes are carried up in registers instead of being read back from the node just stored.
  for (; n > 1; n /= 2) {
    const Extremes& sibling = e.nodes[n ^ 1];
    carried = (n & 1) != 0 ? combine(sibling, carried) : combine(carried, sibling);
    e.nodes[n / 2] = carried;
  }
}

const LiveGraphModel::SeriesExtremes& LiveGraphModel::extremes(int series) const {
  SeriesExtremes& e = extremes_[static_cast<std::size_t>(series)];
  if (e.current) return e;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const Points& p = points(series);
  e.nanCount = 0;
  for (std::size_t i = 0; i < SeriesExtremes::kLeaves; ++i) {
    if (i < p.size()) {
      e.nodes[SeriesExtremes::kLeaves + i] = {p[i], p[i]};
      e.nanCount += static_cast<int>(std::isnan(p[i]));
    } else {
      e.nodes[SeriesExtremes::kLeaves + i] = {kInf, -kInf};
    }
  }
  for (std::size_t n = SeriesExtremes::kLeaves - 1; n >= 1; --n) {
    e.nodes[n] = combine(e.nodes[2 * n], e.nodes[2 * n + 1]);
  }
  e.current = true;
  return e;
}

void LiveGraphModel::addMarker(int slot, const QString& text) {
  if (slot < 0 || slot > kLastPoint) return;
  // A free place first; else the one written longest ago.
  std::size_t at = nextMarker_;
  for (std::size_t i = 0; i < kMaxMarkers; ++i) {
    const std::size_t k = (nextMarker_ + i) % kMaxMarkers;
    if (markers_[k].slot < 0) {
      at = k;
      break;
    }
  }
  markers_[at] = Marker{slot, text};
  nextMarker_ = (at + 1) % kMaxMarkers;
}

bool LiveGraphModel::wrapSlot() {
  if (graphSlot_ != kPointCount) return false;
  graphSlot_ = 0;
  return true;
}

void LiveGraphModel::clearLiveGraph() {
  for (Points& p : values_) p.fill(0.0);
  breathMarks_.fill(false);
  for (Marker& m : markers_) m.slot = -1;
  lineBreaks_.fill(false);
  pendingBreak_ = false;
  invalidateFit();
  invalidateExtremes();
}

void LiveGraphModel::setSeriesVisible(int series, bool visible) {
  visible_[static_cast<std::size_t>(series)] = visible;
  invalidateFit();
}

void LiveGraphModel::setAutomatic(Axis axis, bool automatic) {
  AxisState& a = axes_[index(axis)];
  a.automatic = automatic;
  a.zoomed.reset();
}

std::optional<QString> LiveGraphModel::setMaximum(Axis axis, double maximum) {
  if (maximum < range(axis).minimum) return QString::fromLatin1(kMaximumRefusal);
  AxisState& a = axes_[index(axis)];
  a.fixed.maximum = maximum;
  a.zoomed.reset();
  return std::nullopt;
}

std::optional<QString> LiveGraphModel::setMinimum(Axis axis, double minimum) {
  if (minimum > range(axis).maximum) return QString::fromLatin1(kMinimumRefusal);
  AxisState& a = axes_[index(axis)];
  a.fixed.minimum = minimum;
  a.zoomed.reset();
  return std::nullopt;
}

std::optional<ValueRange> LiveGraphModel::fit(Axis axis) const {
  if (!hasPoints_) return std::nullopt;
  bool any = false;
  double lo = 0.0;
  double hi = 0.0;
  for (int s = 0; s < kSeriesCount; ++s) {
    if (axisOf(s) != axis || !isSeriesVisible(s)) continue;
    const SeriesExtremes& e = extremes(s);
    // Comparisons with NaN are not an ordering, so the tree cannot stand in for the scan.
    if (e.nanCount > 0) return scanFit(axis);
    const Extremes& root = e.nodes[1];
    if (!any) {
      lo = root.lo;
      hi = root.hi;
      any = true;
    } else {
      lo = std::min(lo, root.lo);
      hi = std::max(hi, root.hi);
    }
  }
  if (!any) return std::nullopt;
  if (lo == hi) {
    lo -= 1.0;
    hi += 1.0;
  }
  return ValueRange{lo, hi};
}

std::optional<ValueRange> LiveGraphModel::scanFit(Axis axis) const {
  bool any = false;
  double lo = 0.0;
  double hi = 0.0;
  for (int s = 0; s < kSeriesCount; ++s) {
    if (kSeriesStyles[static_cast<std::size_t>(s)].axis != axis || !isSeriesVisible(s)) continue;
    const Points& p = points(s);
    const auto [mn, mx] = std::minmax_element(p.begin(), p.end());
    if (!any) {
      lo = *mn;
      hi = *mx;
      any = true;
    } else {
      lo = std::min(lo, *mn);
      hi = std::max(hi, *mx);
    }
  }
  if (!any) return std::nullopt;
  if (lo == hi) {
    lo -= 1.0;
    hi += 1.0;
  }
  return ValueRange{lo, hi};
}

ValueRange LiveGraphModel::range(Axis axis) const {
  const AxisState& a = axes_[index(axis)];
  if (a.zoomed) return *a.zoomed;
  if (a.automatic) {
    if (!a.fitted) a.fitted = fit(axis).value_or(a.fixed);
    return *a.fitted;
  }
  return a.fixed;
}

bool LiveGraphModel::isFitted(Axis axis) const {
  const AxisState& a = axes_[index(axis)];
  if (a.zoomed || !a.automatic || !hasPoints_) return false;
  for (int s = 0; s < kSeriesCount; ++s) {
    if (axisOf(s) == axis && isSeriesVisible(s)) return true;
  }
  return false;
}

ValueRange LiveGraphModel::bottomRange() const {
  return bottomZoom_.value_or(ValueRange{0.0, static_cast<double>(kLastPoint)});
}

PlotMapping LiveGraphModel::mapping(const QRectF& plot) const {
  return PlotMapping{plot, bottomRange(), range(Axis::Left), range(Axis::Right)};
}

void LiveGraphModel::zoom(const ValueRange& bottom, const ValueRange& left,
                          const ValueRange& right) {
  bottomZoom_ = bottom;
  axes_[index(Axis::Left)].zoomed = left;
  axes_[index(Axis::Right)].zoomed = right;
}

void LiveGraphModel::unzoom() {
  bottomZoom_.reset();
  for (AxisState& a : axes_) a.zoomed.reset();
}

PressTexts LiveGraphModel::press(double x, double y) {
  x0_ = x;
  y0_ = y;
  return {fmt::formatFloat(QStringLiteral("##0.00 s"), x),
          fmt::formatFloat(QStringLiteral("#0.00 bar "), y)};
}

MoveTexts LiveGraphModel::move(double x, double y) const {
  const double dx = x - x0_;
  MoveTexts t;
  t.timeValue = fmt::formatFloat(QStringLiteral("####0 "), x);
  t.forceValue = fmt::formatFloat(QStringLiteral("####0 g"), y);
  t.timeDelta = fmt::formatFloat(QStringLiteral("####0 "), dx) +
                fmt::formatFloat(QStringLiteral("(####0 ms)"), dx * kSampleMilliseconds);
  t.forceDelta = fmt::formatFloat(QStringLiteral("####0 g"), y - y0_);
  return t;
}

}  // namespace kelvaro::livegraph
