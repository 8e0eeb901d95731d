#include "app/ChartAxes.h"

#include <QValueAxis>

#include "base/AxisScale.h"

namespace kelvaro {
namespace {

// The activity charts are a few hundred pixels high: up to eight steps stay readable.
constexpr int kMostIntervals = 8;

}  // namespace

void fitValueAxis(QValueAxis& axis, double lowest, double highest) {
  const axes::Scale s = axes::fittedScale(lowest, highest, kMostIntervals);
  if (s.count < 2) return;
  // Each setter lays the chart out anew, even unchanged and on a hidden page: only what changed.
  if (axis.tickType() != QValueAxis::TicksFixed) axis.setTickType(QValueAxis::TicksFixed);
  if (axis.min() != s.minimum || axis.max() != s.maximum) axis.setRange(s.minimum, s.maximum);
  if (axis.tickCount() != s.count) axis.setTickCount(s.count);
  // The chart widget formats with printf, which keeps "." whatever the locale.
  const QString format = axes::labelFormat(s.step);
  if (axis.labelFormat() != format) axis.setLabelFormat(format);
}

}  // namespace kelvaro
