#include "measure/LiveGraphModel.h"

#include <algorithm>
#include <cmath>

#include "base/Formats.h"

namespace kelvaro::livegraph {

namespace {

// A zero-width range would divide by zero; such an axis maps everything to its middle.
double scaleOf(const ValueRange& range, double pixels) {
  const double span = range.span();
  return span == 0.0 ? 0.0 : pixels / span;
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
  AxisTicks ticks;
  const double span = range.span();
  if (!(span > 0.0) || !(length > 0.0) || !std::isfinite(span)) {
    ticks.first = range.minimum;
    ticks.count = std::isfinite(range.minimum) ? 1 : 0;
    return ticks;
  }
  const double perLabel = std::max(1.0, labelExtent * (1.0 + separation));
  const double maxLabels = std::max(1.0, std::floor(length / perLabel));
  const double rough = span / maxLabels;
  double decade = std::pow(10.0, std::floor(std::log10(rough)));
  double step = decade;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * decade;
    if (step >= rough * (1.0 - 1e-9)) break;
  }
  ticks.step = step;
  ticks.first = std::ceil(range.minimum / step - 1e-9) * step;
  const double last = std::floor(range.maximum / step + 1e-9) * step;
  ticks.count = static_cast<int>(std::llround((last - ticks.first) / step)) + 1;
  // Multiples of a decimal step drift in binary; snap near-zero labels to a clean 0.
  if (std::abs(ticks.first) < step * 1e-9) ticks.first = 0.0;
  return ticks;
}

LiveGraphModel::LiveGraphModel() { visible_.fill(true); }

void LiveGraphModel::createPoints() {
  for (Points& p : values_) p.fill(0.0);
  hasPoints_ = true;
  invalidateFit();
}

void LiveGraphModel::plotSample(double force1Grams, double force2Grams, double accelX,
                                double accelY, double accelZ) {
  if (!hasPoints_ || graphSlot_ < 0 || graphSlot_ > kLastPoint) return;
  const auto at = static_cast<std::size_t>(graphSlot_);
  values_[kForce1][at] = force1Grams;
  values_[kForce2][at] = force2Grams;
  values_[kAccelX][at] = accelX;
  values_[kAccelY][at] = accelY;
  values_[kAccelZ][at] = accelZ;
  invalidateFit();
}

bool LiveGraphModel::wrapSlot() {
  if (graphSlot_ != kPointCount) return false;
  graphSlot_ = 0;
  return true;
}

void LiveGraphModel::clearLiveGraph() {
  for (Points& p : values_) p.fill(0.0);
  invalidateFit();
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
  t.EditPosX = fmt::formatFloat(QStringLiteral("####0 "), x);
  t.EditPosY = fmt::formatFloat(QStringLiteral("####0 g"), y);
  t.Edit7 = fmt::formatFloat(QStringLiteral("####0 "), dx) +
            fmt::formatFloat(QStringLiteral("(####0 ms)"), dx * kSampleMilliseconds);
  t.Edit8 = fmt::formatFloat(QStringLiteral("####0 g"), y - y0_);
  return t;
}

}  // namespace kelvaro::livegraph
