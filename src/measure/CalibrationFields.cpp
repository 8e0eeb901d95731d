#include "measure/CalibrationFields.h"

#include <algorithm>

#include "base/Formats.h"

namespace kelvaro {

std::int32_t zeroForceChannel(ForceChannel channel, const MeasurementState& state,
                              Calibration& calibration) {
  if (channel == ForceChannel::One) {
    calibration.ofs1 = state.rawForce1;
    return calibration.ofs1;
  }
  calibration.ofs2 = state.rawForce2;
  return calibration.ofs2;
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
