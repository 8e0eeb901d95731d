#include "widgets/BeltColour.h"

#include <array>

#include "measure/LiveGraphModel.h"

namespace kelvaro {

namespace {

// Okabe–Ito blue, reddish purple and bluish green.
constexpr std::array<QRgb, 3> kFurtherBelts{0x0072B2, 0xCC79A7, 0x009E73};

}  // namespace

QColor beltColour(int belt) {
  if (belt <= 0) {
    const auto& s = livegraph::kSeriesStyles[static_cast<std::size_t>(livegraph::kForce1)];
    return QColor(s.red, s.green, s.blue);
  }
  return QColor::fromRgb(kFurtherBelts[static_cast<std::size_t>(belt - 1) % kFurtherBelts.size()]);
}

}  // namespace kelvaro
