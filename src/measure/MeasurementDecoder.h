#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

#include "measure/MeasurementState.h"

namespace kelvaro {

class ConsoleLog;

namespace measurement {
// Bytes of the belt's sensor value that are decoded; shorter values are ignored.
constexpr std::size_t kValueSize = 16;
// Offset of the value length and of the value within an attribute-value event's payload.
constexpr std::size_t kPayloadLengthOffset = 4;
constexpr std::size_t kPayloadValueOffset = 5;

constexpr std::uint8_t kAuxBattery = 1;
constexpr std::uint8_t kAuxTemperature = 2;
constexpr std::int32_t kBatteryMinMillivolts = 3700;
constexpr std::int32_t kBatteryMaxMillivolts = 4200;

// The notification whose readings become the zero offsets after a reset of the count.
constexpr std::uint32_t kAutoZeroCount = 10;
// Graph, activity and recorder see only notifications counted above this.
constexpr std::uint32_t kLastHeldCount = 11;
// "Session Start" presets the count so that the next notification zeroes.
constexpr std::uint32_t kSessionStartCount = kAutoZeroCount - 1;

constexpr int kForceBarMin = 0;
constexpr int kForceBarMax = 250;
}  // namespace measurement

// The controls' switches that a notification depends on (CheckBoxLog, CheckBoxFreeze).
struct NotificationSwitches {
  bool log = false;
  bool freeze = false;
};

// What one notification changed, for the window to copy into its controls and for the caller to
// decide which consumers run. Nothing else needs to be recomputed from the state.
struct NotificationOutcome {
  // False for a value shorter than 16 bytes: then nothing else here is set and no state changed.
  bool decoded = false;

  bool batteryShown = false;        // EditNap and Gauge1 take the two values below
  std::int32_t batteryReading = 0;  // unclamped millivolts, shown with batteryReadout()
  int batteryGauge = 0;             // 0..100

  bool temperatureShown = false;        // EditTemp takes the value below
  std::int32_t temperatureReading = 0;  // centidegrees, shown with temperatureReadout()

  // The offsets were taken from this notification's readings; the caller must call
  // PrimeActivity(0.0, accelX). The offset fields keep showing their old numbers.
  bool zeroed = false;

  // ProgressBar1, already rounded and kept within 0..250; LabelF1 and LabelF2 show
  // forceReadout() of force1Grams and force2Grams.
  int forceBarPosition = 0;

  // The live graph, the activity computation, the write-position advance and the recorder run.
  bool gated = false;
};

// Decodes one sensor value (the bytes after the value length) into the state and applies the
// calibration. The trace line goes to the console when switches.log is set.
NotificationOutcome handleMeasurementValue(const std::uint8_t* value, std::size_t length,
                                           MeasurementState& state, Calibration& calibration,
                                           NotificationSwitches switches, ConsoleLog& console);

// The same, given the payload of an attribute-value event (class 4, event 5) and the payload's
// length from the packet header. The value length byte is trusted only as far as the payload
// reaches, so a malformed event never reads past its own packet.
NotificationOutcome handleMeasurementNotification(const std::uint8_t* payload,
                                                  std::size_t payloadLength,
                                                  MeasurementState& state, Calibration& calibration,
                                                  NotificationSwitches switches,
                                                  ConsoleLog& console);

// The trace line of one value: "E45 EvtVal=3 = 01 A0 FF " (each byte followed by a blank).
// The read-out texts, formatted when they are shown rather than for every notification:
// "UN=4.123 V", "T=25.37 °C", and a force in grams with at least three digits ("-004").
QString batteryReadout(std::int32_t millivolts);
QString temperatureReadout(std::int32_t centidegrees);
QString forceReadout(double grams);

QString measurementTraceLine(const std::uint8_t* value, std::size_t length);

// ProgressBar1's position for a force: nearest integer with ties to even, kept within 0..250
// (the bar would ignore a value outside its range rather than stop at the end).
int forceBarPosition(double forceGrams);

}  // namespace kelvaro
