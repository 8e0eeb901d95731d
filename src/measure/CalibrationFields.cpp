#include "measure/CalibrationFields.h"

#include <algorithm>

#include "base/Formats.h"

namespace kelvaro {

std::int32_t zeroForceChannel(ForceChannel channel, const MeasurementState& state,
                              Calibration& calibration) {
  if (channel == ForceChannel::One) {
    calibration.Ofs1 = state.RawForce1;
    return calibration.Ofs1;
  }
  calibration.Ofs2 = state.RawForce2;
  return calibration.Ofs2;
}

double slopeFromEntry(double entry) { return entry / calibration::kSlopeEntryScale; }

double clampSlopeEntry(double entry) {
  return std::clamp(entry, calibration::kSlopeEntryMin, calibration::kSlopeEntryMax);
}

QString slopeEntryText(double slope) {
  return fmt::formatFloat(QStringLiteral("0000"), slope * calibration::kSlopeEntryScale);
}

std::int32_t offsetFromText(const QString& text) { return fmt::parseInteger(text).value_or(0); }

}  // namespace kelvaro
