#pragma once

#include <cstdint>

namespace kelvaro {

// The decoded values of the latest belt notification; everything downstream reads from here.
struct MeasurementState {
  std::uint8_t sampleTag = 0;
  std::uint8_t auxSelector = 0;
  // Unsigned 16-bit readings kept signed 32-bit so that raw minus offset cannot wrap.
  std::int32_t rawForce1 = 0;
  std::int32_t rawForce2 = 0;
  std::int16_t accelX = 0;
  std::int16_t accelY = 0;
  std::int16_t accelZ = 0;
  // Clamped to 3700..4200 once a battery reading has arrived; 0 before.
  std::int32_t batteryMillivolts = 0;
  std::int32_t temperatureCentidegrees = 0;
  double force1Grams = 0.0;
  double force2Grams = 0.0;
  // Reset to 0 by "Disconnect" and preset to 9 by "Session Start"; the tenth notification zeroes.
  std::uint32_t notificationCount = 0;
};

// Force in grams = (raw - offset) * slope, per channel.
struct Calibration {
  double k1 = 0.5;
  double k2 = 0.5;
  std::int32_t ofs1 = 1000;
  std::int32_t ofs2 = 1000;
};

}  // namespace kelvaro
