#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

#include "measure/MeasurementState.h"

namespace kelvaro::edf {

// One data record is one second of the belt: 20 samples of each signal.
inline constexpr int kSamplesPerRecord = 20;
inline constexpr int kRecordMs = 1000;
inline constexpr int kSampleMs = kRecordMs / kSamplesPerRecord;

// The signals of a recording, in the file's order.
enum Signal : int { kForce1, kForce2, kAccelX, kAccelY, kAccelZ, kBattery, kTemperature };
inline constexpr int kSignalCount = 7;

// Belts in one recording, the first included: a set of the seven signals each.
inline constexpr int kMaxBelts = 4;

// A label is 16 characters. The first belt's signals have the labels below ("Force 1"); a
// further belt's carry a short form of the signal and the belt's tag: "Force1 Anna", "Temp Anna".
inline constexpr int kLabelChars = 16;
inline constexpr int kTagChars = 9;

// The 24 bits of BDF, used symmetrically so that a digital 0 is a physical 0.
inline constexpr std::int32_t kForceDigitalMax = 8388607;

// How one signal is stored: its header fields. The physical range is what digitalMin..digitalMax
// stand for, linearly; each limit is a number of at most 8 characters as the header holds it.
struct SignalHeader {
  const char* label;
  const char* unit;
  double physicalMin;
  double physicalMax;
  std::int32_t digitalMin;
  std::int32_t digitalMax;
};

// The range of a force signal at `slope` grams per count: at least eight times what a raw
// reading 0..65535 less an offset within that span can give, so that a zero moved anywhere in
// the belt's span (a session's zeroing, the zero buttons) or a slope raised up to eight times
// keeps every value inside; rounded up to four significant digits, so that the header holds it
// exactly. One digital step is then at most a sixteenth of a count at that slope.
double forceRange(double slope);

// The seven signals of a recording made with `calibration`'s slopes.
std::array<SignalHeader, kSignalCount> signalHeaders(const Calibration& calibration);

// The signals of a further belt: those of signalHeaders(calibration) with `labels`, one per
// signal, each "<short form> <tag>" (see beltLabel()). The labels must outlive the headers.
std::array<SignalHeader, kSignalCount> signalHeaders(
    const Calibration& calibration, const std::array<QByteArray, kSignalCount>& labels);

// A further belt's label of `signal`: "Force1", "Force2", "AccelX", "AccelY", "AccelZ", "Batt" or
// "Temp", a blank and the tag (at most kTagChars characters, so that it fits).
QByteArray beltLabel(int signal, const QByteArray& tag);

// A further belt's tag in its labels: its name in the header's printable ASCII (accents dropped,
// any other character, blanks included, as "_"), cut to kTagChars; unlike every tag in `taken`.
// A name that is empty or whose tag is taken falls back to the belt's number (`beltNumber`, 2 for
// the second belt): "Belt2" for no name, "Anna#3" for the third belt's "Anna" when the second is
// "Anna" too.
QByteArray beltTag(const QString& name, int beltNumber, const QByteArray* taken, int takenCount);

// The digital value of one sample of `signal` taken from `state`, for the headers above; a value
// beyond the signal's range gets its limit.
std::int32_t digitalValue(const std::array<SignalHeader, kSignalCount>& headers, int signal,
                          const MeasurementState& state);

// The physical value a digital one stands for, as a reader computes it.
double physicalValue(const SignalHeader& header, std::int32_t digital);

}  // namespace kelvaro::edf
