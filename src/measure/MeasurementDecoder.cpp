#include "measure/MeasurementDecoder.h"

#include <algorithm>
#include <cmath>

#include "base/ConsoleLog.h"
#include "base/Formats.h"

namespace kelvaro {

namespace {

std::uint16_t readU16(const std::uint8_t* bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::int16_t readS16(const std::uint8_t* bytes, std::size_t offset) {
  return static_cast<std::int16_t>(readU16(bytes, offset));
}

double roundHalfEven(double x) {
  // std::round takes halves away from zero; a half lies between two integers, one of them even.
  if (std::fabs(x - std::trunc(x)) == 0.5) return 2.0 * std::round(x / 2.0);
  return std::round(x);
}

}  // namespace

QString measurementTraceLine(const std::uint8_t* value, std::size_t length) {
  QString line = QStringLiteral("E45 EvtVal=") + QString::number(length) + QStringLiteral(" = ");
  line.reserve(line.size() + static_cast<qsizetype>(3 * length));
  for (std::size_t i = 0; i < length; ++i) {
    line += fmt::hexByte(value[i]);
    line += QLatin1Char(' ');
  }
  return line;
}

int forceBarPosition(double forceGrams) {
  if (std::isnan(forceGrams)) return measurement::kForceBarMin;
  const double rounded = roundHalfEven(forceGrams);
  return static_cast<int>(std::clamp(rounded, static_cast<double>(measurement::kForceBarMin),
                                     static_cast<double>(measurement::kForceBarMax)));
}

NotificationOutcome handleMeasurementValue(const std::uint8_t* value, std::size_t length,
                                           MeasurementState& state, Calibration& calibration,
                                           NotificationSwitches switches, ConsoleLog& console) {
  NotificationOutcome out;
  if (switches.log) console.append(measurementTraceLine(value, length));
  // Too short to hold the fixed fields: nothing is decoded and the count does not advance, so
  // such an event neither zeroes nor brings the first plotted notification closer.
  if (length < measurement::kValueSize) return out;
  out.decoded = true;

  state.sampleTag = value[2];
  state.auxSelector = value[3];
  state.rawForce1 = readU16(value, 4);
  state.rawForce2 = readU16(value, 6);
  state.accelX = readS16(value, 8);
  state.accelY = readS16(value, 10);
  state.accelZ = readS16(value, 12);
  const std::int32_t aux = readU16(value, 14);

  if (state.auxSelector == measurement::kAuxBattery) {
    out.batteryShown = true;
    out.batteryReading = aux;
    state.batteryMillivolts =
        std::clamp(aux, measurement::kBatteryMinMillivolts, measurement::kBatteryMaxMillivolts);
    out.batteryGauge = (state.batteryMillivolts - measurement::kBatteryMinMillivolts) / 5;
  } else if (state.auxSelector == measurement::kAuxTemperature) {
    out.temperatureShown = true;
    state.temperatureCentidegrees = aux;
    out.temperatureReading = aux;
  }

  ++state.notificationCount;
  if (state.notificationCount == measurement::kAutoZeroCount) {
    calibration.ofs1 = state.rawForce1;
    calibration.ofs2 = state.rawForce2;
    out.zeroed = true;
  }

  // Offsets come from the settings file or the offset fields and may be any 32-bit number;
  // the difference wraps like the 32-bit arithmetic it is defined in, never overflowing here.
  const auto diff = [](std::int32_t raw, std::int32_t offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(raw) -
                                     static_cast<std::uint32_t>(offset));
  };
  state.force1Grams = static_cast<double>(diff(state.rawForce1, calibration.ofs1)) * calibration.k1;
  state.force2Grams = static_cast<double>(diff(state.rawForce2, calibration.ofs2)) * calibration.k2;

  out.forceBarPosition = forceBarPosition(state.force1Grams);

  out.gated = !switches.freeze && state.notificationCount > measurement::kLastHeldCount;
  return out;
}

NotificationOutcome handleMeasurementNotification(const std::uint8_t* payload,
                                                  std::size_t payloadLength,
                                                  MeasurementState& state, Calibration& calibration,
                                                  NotificationSwitches switches,
                                                  ConsoleLog& console) {
  if (payloadLength < measurement::kPayloadValueOffset) {
    return handleMeasurementValue(payload, 0, state, calibration, switches, console);
  }
  const std::size_t length = std::min<std::size_t>(
      payload[measurement::kPayloadLengthOffset], payloadLength - measurement::kPayloadValueOffset);
  return handleMeasurementValue(payload + measurement::kPayloadValueOffset, length, state,
                                calibration, switches, console);
}

QString batteryReadout(std::int32_t millivolts) {
  return fmt::formatFloat(QStringLiteral("UN=0.000 V"), millivolts / 1000.0);
}

QString temperatureReadout(std::int32_t centidegrees) {
  return fmt::formatFloat(QStringLiteral("T=0.00 \u00B0C"), centidegrees / 100.0);
}

QString forceReadout(double grams) { return fmt::formatFloat(QStringLiteral("000"), grams); }

}  // namespace kelvaro
