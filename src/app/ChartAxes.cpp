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
  axis.setTickType(QValueAxis::TicksFixed);
  axis.setRange(s.minimum, s.maximum);
  axis.setTickCount(s.count);
  // The chart widget formats with printf, which keeps "." whatever the locale.
  axis.setLabelFormat(axes::labelFormat(s.step));
}

}  // namespace kelvaro
