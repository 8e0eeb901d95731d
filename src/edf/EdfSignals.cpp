#include "edf/EdfSignals.h"

#include <algorithm>
#include <cmath>

namespace kelvaro::edf {

double forceRange(double slope) {
  const double needed = 65535.0 * 8.0 * std::fabs(slope);
  // A slope of 0 gives forces of 0 only; any range holds them.
  if (!(needed >= 0.001)) return needed > 0.0 ? 0.001 : 1.0;
  // Four significant digits, rounded up.
  const double magnitude = std::pow(10.0, std::floor(std::log10(needed)) - 3.0);
  double range = std::ceil(needed / magnitude - 1e-9) * magnitude;
  // What the header can hold: 8 characters, the sign of the minimum among them.
  range = std::min(range, 9999999.0);
  return range;
}

std::array<SignalHeader, kSignalCount> signalHeaders(const Calibration& calibration) {
  const double range1 = forceRange(calibration.k1);
  const double range2 = forceRange(calibration.k2);
  return {{
      {"Force 1", "g", -range1, range1, -kForceDigitalMax, kForceDigitalMax},
      {"Force 2", "g", -range2, range2, -kForceDigitalMax, kForceDigitalMax},
      // The accelerations as the belt sends them: signed 16-bit counts.
      {"Accel X", "", -32768.0, 32767.0, -32768, 32767},
      {"Accel Y", "", -32768.0, 32767.0, -32768, 32767},
      {"Accel Z", "", -32768.0, 32767.0, -32768, 32767},
      // Millivolts (3700..4200 once read, 0 before) and hundredths of a degree (0..65535).
      {"Battery", "V", 0.0, 4.2, 0, 4200},
      {"Temperature", "degC", 0.0, 655.35, 0, 65535},
  }};
}

std::array<SignalHeader, kSignalCount> signalHeaders(
    const Calibration& calibration, const std::array<QByteArray, kSignalCount>& labels) {
  std::array<SignalHeader, kSignalCount> headers = signalHeaders(calibration);
  for (std::size_t s = 0; s < headers.size(); ++s) headers[s].label = labels[s].constData();
  return headers;
}

QByteArray beltLabel(int signal, const QByteArray& tag) {
  static constexpr const char* kShort[kSignalCount] = {"Force1", "Force2", "AccelX", "AccelY",
                                                       "AccelZ", "Batt",   "Temp"};
  const char* shortForm = signal >= 0 && signal < kSignalCount ? kShort[signal] : "";
  return (QByteArray(shortForm) + ' ' + tag.left(kTagChars)).left(kLabelChars);
}

namespace {

// The name in printable ASCII: letters with accents as their base letter, whatever else as "_".
QByteArray asciiName(const QString& name) {
  QByteArray ascii;
  ascii.reserve(kTagChars);
  for (const QChar c : name.normalized(QString::NormalizationForm_D)) {
    if (ascii.size() == kTagChars) break;
    // The accents the decomposition split off.
    if (c.category() == QChar::Mark_NonSpacing) continue;
    const char16_t u = c.unicode();
    ascii.append(u > 0x20 && u < 0x7F ? static_cast<char>(u) : '_');
  }
  return ascii;
}

bool isTaken(const QByteArray& tag, const QByteArray* taken, int takenCount) {
  for (int i = 0; i < takenCount; ++i) {
    if (taken[i] == tag) return true;
  }
  return false;
}

}  // namespace

QByteArray beltTag(const QString& name, int beltNumber, const QByteArray* taken, int takenCount) {
  const QByteArray number = QByteArray::number(beltNumber);
  const QByteArray ascii = asciiName(name);
  if (ascii.isEmpty()) {
    QByteArray tag = "Belt" + number;
    while (isTaken(tag, taken, takenCount)) tag = (tag + '#').right(kTagChars);
    return tag;
  }
  if (!isTaken(ascii, taken, takenCount)) return ascii;
  // The name's start and the belt's number; more "#" in the rare case a name reads so already.
  QByteArray suffix = '#' + number;
  QByteArray tag = ascii.left(kTagChars - suffix.size()) + suffix;
  while (isTaken(tag, taken, takenCount) && suffix.size() < kTagChars) {
    suffix.prepend('#');
    tag = ascii.left(kTagChars - suffix.size()) + suffix;
  }
  return tag;
}

namespace {

std::int32_t clampDigital(const SignalHeader& header, double digital) {
  if (!(digital >= header.digitalMin)) return header.digitalMin;  // NaN too
  if (digital > header.digitalMax) return header.digitalMax;
  return static_cast<std::int32_t>(std::lround(digital));
}

}  // namespace

std::int32_t digitalValue(const std::array<SignalHeader, kSignalCount>& headers, int signal,
                          const MeasurementState& state) {
  const SignalHeader& header = headers[static_cast<std::size_t>(signal)];
  switch (signal) {
    case kForce1:
      return clampDigital(header, state.force1Grams * header.digitalMax / header.physicalMax);
    case kForce2:
      return clampDigital(header, state.force2Grams * header.digitalMax / header.physicalMax);
    case kAccelX:
      return state.accelX;
    case kAccelY:
      return state.accelY;
    case kAccelZ:
      return state.accelZ;
    case kBattery:
      return clampDigital(header, state.batteryMillivolts);
    case kTemperature:
      return clampDigital(header, state.temperatureCentidegrees);
    default:
      return 0;
  }
}

double physicalValue(const SignalHeader& header, std::int32_t digital) {
  const double step =
      (header.physicalMax - header.physicalMin) / double(header.digitalMax - header.digitalMin);
  return header.physicalMin + (digital - header.digitalMin) * step;
}

}  // namespace kelvaro::edf
