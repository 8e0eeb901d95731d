#pragma once

#include <QString>
#include <cstdint>

#include "measure/MeasurementState.h"

namespace kelvaro {

enum class ForceChannel { One, Two };

namespace calibration {
// The slope fields show grams per count times 1000 and stay within these limits.
constexpr double kSlopeEntryScale = 1000.0;
constexpr double kSlopeEntryMin = -1000.0;
constexpr double kSlopeEntryMax = 20000.0;
}  // namespace calibration

// "Zero1"/"Zero Force 1" and "Zero2"/"Zero Force 2": the channel's offset becomes its latest raw
// reading (0 before any notification). Returns the new offset for the channel's offset field.
std::int32_t zeroForceChannel(ForceChannel channel, const MeasurementState& state,
                              Calibration& calibration);

// Slope field (NEditK1, NEditK2): the slope a confirmed entry stands for.
double slopeFromEntry(double entry);
// The entry brought within -1000..20000, as the field does when it loses focus.
double clampSlopeEntry(double entry);
// The field's text for a slope: K * 1000 with the picture "0000" (0.5 shows as "0500").
QString slopeEntryText(double slope);

// Offset field (SpinEditOfs1, SpinEditOfs2): its text as an offset; text that is not an
// integer reads as 0.
std::int32_t offsetFromText(const QString& text);

}  // namespace kelvaro
