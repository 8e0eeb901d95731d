#pragma once

#include <cstdint>

namespace kelvaro {

// The decoded values of the latest belt notification; everything downstream reads from here.
struct MeasurementState {
  std::uint8_t SampleTag = 0;
  std::uint8_t AuxSelector = 0;
  // Unsigned 16-bit readings kept signed 32-bit so that raw minus offset cannot wrap.
  std::int32_t RawForce1 = 0;
  std::int32_t RawForce2 = 0;
  std::int16_t AccelX = 0;
  std::int16_t AccelY = 0;
  std::int16_t AccelZ = 0;
  // Clamped to 3700..4200 once a battery reading has arrived; 0 before.
  std::int32_t BatteryMillivolts = 0;
  std::int32_t TemperatureCentidegrees = 0;
  double Force1Grams = 0.0;
  double Force2Grams = 0.0;
  // Reset to 0 by "Disconnect" and preset to 9 by "Session Start"; the tenth notification zeroes.
  std::uint32_t NotificationCount = 0;
};

// Force in grams = (raw - offset) * slope, per channel.
struct Calibration {
  double K1 = 0.5;
  double K2 = 0.5;
  std::int32_t Ofs1 = 1000;
  std::int32_t Ofs2 = 1000;
};

}  // namespace kelvaro
