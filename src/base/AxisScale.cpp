#include "base/AxisScale.h"

#include <algorithm>
#include <cmath>

#include "base/Formats.h"

namespace kelvaro::axes {
namespace {

// Steps and labels near binary noise count as whole multiples (0.1 * 3 is 0.30000000000000004).
constexpr double kSlack = 1e-9;
// Beyond this the decimals say nothing that a double holds.
constexpr int kMaxDecimals = 15;

// A round step as mantissa (1, 2 or 5) times ten to the exponent. Its multiples are computed by
// dividing by a power of ten for negative exponents, so that 3 steps of 0.1 are exactly 0.3.
struct RoundStep {
  int mantissa = 1;
  int exponent = 0;

  double multiple(double k) const {
    return exponent >= 0 ? k * mantissa * std::pow(10.0, exponent)
                         : k * mantissa / std::pow(10.0, -exponent);
  }
  double value() const { return multiple(1.0); }
  RoundStep next() const {
    if (mantissa == 1) return {2, exponent};
    if (mantissa == 2) return {5, exponent};
    return {1, exponent + 1};
  }
};

RoundStep chooseStep(double span, int maxIntervals) {
  const double rough = span / std::max(1, maxIntervals);
  RoundStep step{1, static_cast<int>(std::floor(std::log10(rough)))};
  // log10 of an exact power of ten may land just beside it.
  if (step.value() > rough * (1.0 + kSlack)) --step.exponent;
  while (step.value() < rough * (1.0 - kSlack)) step = step.next();
  return step;
}

bool usable(double span) { return span > 0.0 && std::isfinite(span); }

// Zero from the arithmetic of multiples shows as 0, not as a tiny number or -0.
double clean(double value, double step) { return std::abs(value) < step * kSlack ? 0.0 : value; }

}  // namespace

double roundStep(double span, int maxIntervals) {
  return usable(span) ? chooseStep(span, maxIntervals).value() : 1.0;
}

Scale fixedScale(double minimum, double maximum, int maxIntervals) {
  Scale s{minimum, maximum, minimum, 1.0, 0};
  if (!usable(maximum - minimum)) {
    s.count = std::isfinite(minimum) && minimum == maximum ? 1 : 0;
    return s;
  }
  const RoundStep step = chooseStep(maximum - minimum, maxIntervals);
  s.step = step.value();
  const double firstIndex = std::ceil(minimum / s.step - kSlack);
  const double lastIndex = std::floor(maximum / s.step + kSlack);
  s.first = clean(step.multiple(firstIndex), s.step);
  s.count = static_cast<int>(lastIndex - firstIndex) + 1;
  return s;
}

Scale fittedScale(double lowest, double highest, int maxIntervals) {
  if (highest < lowest) std::swap(lowest, highest);
  if (lowest == highest) {
    lowest -= 1.0;
    highest += 1.0;
  }
  if (!usable(highest - lowest)) return fixedScale(lowest, highest, maxIntervals);
  const int most = std::max(1, maxIntervals);
  RoundStep step = chooseStep(highest - lowest, most);
  // Widening the ends can add an interval at each; a longer step then takes fewer.
  for (;;) {
    const double v = step.value();
    const double low = std::floor(lowest / v + kSlack);
    const double high = std::ceil(highest / v - kSlack);
    if (high - low <= most) {
      Scale s;
      s.step = v;
      s.minimum = s.first = clean(step.multiple(low), v);
      s.maximum = clean(step.multiple(high), v);
      s.count = static_cast<int>(high - low) + 1;
      return s;
    }
    step = step.next();
  }
}

int labelDecimals(double step) {
  if (!usable(step) || step >= 1.0 - kSlack) return 0;
  return std::min(kMaxDecimals, static_cast<int>(-std::floor(std::log10(step) + kSlack)));
}

QString tickLabel(double value, double step) {
  return fmt::formatFixed(value, 0, labelDecimals(step));
}

QString labelFormat(double step) { return QStringLiteral("%.%1f").arg(labelDecimals(step)); }

}  // namespace kelvaro::axes
