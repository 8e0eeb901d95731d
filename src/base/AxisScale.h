#pragma once

#include <QString>

namespace kelvaro::axes {

// What a value axis shows: the range from minimum to maximum, labelled at `count` values from
// `first` on, `step` apart. The step is always 1, 2 or 5 times a power of ten, so that a person
// can read a value off the chart between two labels.
struct Scale {
  double minimum = 0.0;
  double maximum = 0.0;
  double first = 0.0;
  double step = 1.0;
  int count = 0;

  double value(int i) const { return first + step * i; }
};

// The smallest step of 1, 2 or 5 times a power of ten that cuts `span` into at most
// `maxIntervals` parts (at least one). 1 for a span that is not positive and finite.
double roundStep(double span, int maxIntervals);

// A range the user or the settings set: its ends stay as they are, the labels go on the
// multiples of a round step within it. A range of one value gets one label; a range with an end
// that is not finite gets none.
Scale fixedScale(double minimum, double maximum, int maxIntervals);

// A range fitted to values from `lowest` to `highest`: widened outwards to multiples of a round
// step, so that both ends are labelled, with at most `maxIntervals` steps between them. Values
// that are all the same get one unit above and below them first.
Scale fittedScale(double lowest, double highest, int maxIntervals);

// The decimals the labels of an axis with this step show: 0 for steps of 1 and more, 1 for 0.5,
// 0.2 and 0.1, 2 for 0.05, ...
int labelDecimals(double step);

// The text of a label: every label of an axis with the same decimals, "." as the decimal point
// whatever the locale, no thousands separator, and no minus sign on a zero.
QString tickLabel(double value, double step);

// The same style as a printf format ("%.1f"), for chart widgets that take one.
QString labelFormat(double step);

}  // namespace kelvaro::axes
