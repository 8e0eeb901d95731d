#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "base/ConsoleLog.h"
#include "measure/CalibrationFields.h"
#include "measure/MeasurementDecoder.h"
#include "measure/MeasurementState.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using Value = testing::SensorValue;
static_assert(std::tuple_size_v<Value> == measurement::kValueSize);

struct Reading {
  std::uint8_t tag = 0x7F;
  std::uint8_t selector = 0;
  std::uint16_t raw1 = 1000;
  std::uint16_t raw2 = 1000;
  std::int16_t ax = 0;
  std::int16_t ay = 0;
  std::int16_t az = 0;
  std::uint16_t aux = 0;
};

Value encode(const Reading& r) {
  testing::RawValues raw;
  raw.status = 0xAA;
  raw.sequence = 0x55;
  raw.tag = r.tag;
  raw.selector = r.selector;
  raw.force1 = r.raw1;
  raw.force2 = r.raw2;
  raw.ax = r.ax;
  raw.ay = r.ay;
  raw.az = r.az;
  raw.aux = r.aux;
  return testing::sensorValue(raw);
}

class DecoderTest : public ::testing::Test {
 protected:
  NotificationOutcome feed(const Value& value, NotificationSwitches switches = {}) {
    return handleMeasurementValue(value.data(), value.size(), state_, calibration_, switches,
                                  console_);
  }
  NotificationOutcome feed(const Reading& reading, NotificationSwitches switches = {}) {
    return feed(encode(reading), switches);
  }

  MeasurementState state_;
  Calibration calibration_;
  ConsoleLog console_;
};

TEST_F(DecoderTest, DecodesReferenceValue) {
  const Value value{0x00, 0x00, 0x7F, 0x01, 0xE8, 0x03, 0xF4, 0x01,
                    0x10, 0x00, 0xF0, 0xFF, 0x00, 0x01, 0x7A, 0x0F};
  state_.notificationCount = 20;

  const NotificationOutcome out = feed(value);

  EXPECT_TRUE(out.decoded);
  EXPECT_EQ(state_.sampleTag, 0x7F);
  EXPECT_EQ(state_.auxSelector, 1);
  EXPECT_EQ(state_.rawForce1, 1000);
  EXPECT_EQ(state_.rawForce2, 500);
  EXPECT_EQ(state_.accelX, 16);
  EXPECT_EQ(state_.accelY, -16);
  EXPECT_EQ(state_.accelZ, 256);
  EXPECT_EQ(state_.batteryMillivolts, 3962);
  EXPECT_EQ(state_.force1Grams, 0.0);
  EXPECT_EQ(state_.force2Grams, -250.0);
  EXPECT_EQ(state_.notificationCount, 21u);
  EXPECT_TRUE(out.batteryShown);
  EXPECT_EQ(batteryReadout(out.batteryReading), "UN=3.962 V");
  EXPECT_EQ(out.batteryGauge, 52);
  EXPECT_FALSE(out.temperatureShown);
  EXPECT_EQ(forceReadout(state_.force1Grams), "000");
  EXPECT_EQ(forceReadout(state_.force2Grams), "-250");
  EXPECT_EQ(out.forceBarPosition, 0);
  EXPECT_FALSE(out.zeroed);
  EXPECT_TRUE(out.gated);
  EXPECT_EQ(calibration_.ofs1, 1000);
  EXPECT_EQ(calibration_.ofs2, 1000);
}

TEST_F(DecoderTest, RawForcesAreUnsignedAndAccelerationsSigned) {
  feed(Reading{0x01, 0, 0xFFFF, 0x8000, -32768, 32767, -1, 0});
  EXPECT_EQ(state_.sampleTag, 0x01);
  EXPECT_EQ(state_.rawForce1, 65535);
  EXPECT_EQ(state_.rawForce2, 32768);
  EXPECT_EQ(state_.accelX, -32768);
  EXPECT_EQ(state_.accelY, 32767);
  EXPECT_EQ(state_.accelZ, -1);
  EXPECT_EQ(state_.force1Grams, (65535 - 1000) * 0.5);
}

struct BatteryCase {
  std::uint16_t millivolts;
  const char* text;
  std::int32_t stored;
  int gauge;
};

TEST_F(DecoderTest, BatteryShowsReadingAndClampsStoredValueAndGauge) {
  const std::vector<BatteryCase> cases = {
      {3600, "UN=3.600 V", 3700, 0},     {4300, "UN=4.300 V", 4200, 100},
      {3700, "UN=3.700 V", 3700, 0},     {3950, "UN=3.950 V", 3950, 50},
      {4123, "UN=4.123 V", 4123, 84},    {4200, "UN=4.200 V", 4200, 100},
      {3704, "UN=3.704 V", 3704, 0},     {0, "UN=0.000 V", 3700, 0},
      {65535, "UN=65.535 V", 4200, 100},
  };
  for (const BatteryCase& c : cases) {
    SCOPED_TRACE(c.millivolts);
    const NotificationOutcome out = feed(Reading{0, 1, 1000, 1000, 0, 0, 0, c.millivolts});
    EXPECT_TRUE(out.batteryShown);
    EXPECT_FALSE(out.temperatureShown);
    EXPECT_EQ(batteryReadout(out.batteryReading), c.text);
    EXPECT_EQ(state_.batteryMillivolts, c.stored);
    EXPECT_EQ(out.batteryGauge, c.gauge);
  }
}

TEST_F(DecoderTest, TemperatureIsUnsignedHundredthsOfADegree) {
  const std::vector<std::pair<std::uint16_t, QString>> cases = {
      {0xFFFF, QStringLiteral("T=655.35 \u00B0C")},
      {2537, QStringLiteral("T=25.37 \u00B0C")},
      {0, QStringLiteral("T=0.00 \u00B0C")},
      {0x8000, QStringLiteral("T=327.68 \u00B0C")},
  };
  for (const auto& [centidegrees, text] : cases) {
    SCOPED_TRACE(centidegrees);
    const NotificationOutcome out = feed(Reading{0, 2, 1000, 1000, 0, 0, 0, centidegrees});
    EXPECT_TRUE(out.temperatureShown);
    EXPECT_FALSE(out.batteryShown);
    EXPECT_EQ(temperatureReadout(out.temperatureReading), text);
    EXPECT_EQ(state_.temperatureCentidegrees, centidegrees);
  }
}

TEST_F(DecoderTest, EachAuxiliaryReadingKeepsTheOther) {
  feed(Reading{0, 1, 1000, 1000, 0, 0, 0, 4000});
  feed(Reading{0, 2, 1000, 1000, 0, 0, 0, 2100});
  EXPECT_EQ(state_.batteryMillivolts, 4000);
  EXPECT_EQ(state_.temperatureCentidegrees, 2100);
  feed(Reading{0, 1, 1000, 1000, 0, 0, 0, 3800});
  EXPECT_EQ(state_.batteryMillivolts, 3800);
  EXPECT_EQ(state_.temperatureCentidegrees, 2100);
}

TEST_F(DecoderTest, OtherSelectorsChangeNeitherBatteryNorTemperature) {
  for (std::uint8_t selector : {0, 3, 0xFF}) {
    SCOPED_TRACE(selector);
    state_.batteryMillivolts = 3900;
    state_.temperatureCentidegrees = 2400;
    const NotificationOutcome out = feed(Reading{0, selector, 1200, 1000, 0, 0, 0, 4100});
    EXPECT_TRUE(out.decoded);
    EXPECT_FALSE(out.batteryShown);
    EXPECT_FALSE(out.temperatureShown);
    EXPECT_EQ(state_.batteryMillivolts, 3900);
    EXPECT_EQ(state_.temperatureCentidegrees, 2400);
    EXPECT_EQ(state_.auxSelector, selector);
    EXPECT_EQ(forceReadout(state_.force1Grams), "100");
  }
}

TEST_F(DecoderTest, TenthNotificationZeroesBothChannels) {
  for (std::uint32_t n = 1; n <= 12; ++n) {
    SCOPED_TRACE(n);
    const auto raw1 = static_cast<std::uint16_t>(2000 + 10 * n);
    const auto raw2 = static_cast<std::uint16_t>(800 + n);
    const NotificationOutcome out = feed(Reading{0, 0, raw1, raw2, 5, 0, 0, 0});
    EXPECT_EQ(state_.notificationCount, n);
    EXPECT_EQ(out.zeroed, n == 10);
    if (n < 10) {
      EXPECT_EQ(calibration_.ofs1, 1000);
      EXPECT_EQ(calibration_.ofs2, 1000);
      EXPECT_EQ(state_.force1Grams, (raw1 - 1000) * 0.5);
    } else {
      EXPECT_EQ(calibration_.ofs1, 2100);
      EXPECT_EQ(calibration_.ofs2, 810);
      EXPECT_EQ(state_.force1Grams, (raw1 - 2100) * 0.5);
      EXPECT_EQ(state_.force2Grams, (raw2 - 810) * 0.5);
    }
    if (n == 10) {
      EXPECT_EQ(state_.force1Grams, 0.0);
      EXPECT_EQ(state_.force2Grams, 0.0);
      EXPECT_EQ(forceReadout(state_.force1Grams), "000");
      EXPECT_EQ(out.forceBarPosition, 0);
    }
  }
}

TEST_F(DecoderTest, OnlyNotificationsAfterTheEleventhPassTheGate) {
  for (std::uint32_t n = 1; n <= 14; ++n) {
    SCOPED_TRACE(n);
    const NotificationOutcome out = feed(Reading{0, 1, 1300, 1000, 0, 0, 0, 4000});
    EXPECT_EQ(out.gated, n >= 12);
    // The displays follow every notification, held or not.
    EXPECT_TRUE(out.batteryShown);
  }
}

TEST_F(DecoderTest, SessionStartPresetZeroesNextAndHoldsTwo) {
  for (int i = 0; i < 30; ++i) feed(Reading{});
  calibration_.ofs1 = 1000;
  state_.notificationCount = measurement::kSessionStartCount;

  const NotificationOutcome first = feed(Reading{0, 0, 1500, 1700, -40, 0, 0, 0});
  EXPECT_TRUE(first.zeroed);
  EXPECT_FALSE(first.gated);
  EXPECT_EQ(state_.accelX, -40);  // what PrimeActivity is given along with 0.0
  EXPECT_EQ(calibration_.ofs1, 1500);
  EXPECT_EQ(calibration_.ofs2, 1700);
  EXPECT_EQ(state_.force1Grams, 0.0);

  const NotificationOutcome second = feed(Reading{0, 0, 1520, 1700, 0, 0, 0, 0});
  EXPECT_FALSE(second.zeroed);
  EXPECT_FALSE(second.gated);
  EXPECT_EQ(state_.force1Grams, 10.0);

  const NotificationOutcome third = feed(Reading{});
  EXPECT_TRUE(third.gated);
}

TEST_F(DecoderTest, FreezeHoldsOnlyTheGatedConsumers) {
  state_.notificationCount = 40;
  const NotificationOutcome frozen = feed(Reading{0, 1, 1100, 1000, 0, 0, 0, 4000}, {false, true});
  EXPECT_FALSE(frozen.gated);
  EXPECT_EQ(forceReadout(state_.force1Grams), "050");
  EXPECT_EQ(frozen.forceBarPosition, 50);
  EXPECT_TRUE(frozen.batteryShown);
  EXPECT_EQ(state_.notificationCount, 41u);

  const NotificationOutcome thawed = feed(Reading{0, 1, 1100, 1000, 0, 0, 0, 4000}, {false, false});
  EXPECT_TRUE(thawed.gated);
}

TEST_F(DecoderTest, FreezeDoesNotStopTheAutomaticZeroing) {
  state_.notificationCount = 9;
  const NotificationOutcome out = feed(Reading{0, 0, 1234, 999, 0, 0, 0, 0}, {false, true});
  EXPECT_TRUE(out.zeroed);
  EXPECT_EQ(calibration_.ofs1, 1234);
}

struct LabelCase {
  std::uint16_t raw;
  std::int32_t offset;
  double slope;
  const char* label;
};

TEST_F(DecoderTest, ForceLabelsUseThreeDigitPicture) {
  const std::vector<LabelCase> cases = {
      {1124, 1000, 0.1, "012"},    {964, 1000, 0.1, "-004"}, {13342, 1000, 0.1, "1234"},
      {1000, 1000, 0.5, "000"},    {1001, 1000, 0.5, "001"}, {500, 1000, 0.5, "-250"},
      {65535, 0, 20.0, "1310700"}, {0, 1000, -1.0, "1000"},
  };
  for (const LabelCase& c : cases) {
    SCOPED_TRACE(c.label);
    state_.notificationCount = 20;
    calibration_ = Calibration{c.slope, c.slope, c.offset, c.offset};
    const NotificationOutcome out = feed(Reading{0, 0, c.raw, c.raw, 0, 0, 0, 0});
    EXPECT_TRUE(out.decoded);
    EXPECT_EQ(forceReadout(state_.force1Grams), c.label);
    EXPECT_EQ(forceReadout(state_.force2Grams), c.label);
  }
}

TEST_F(DecoderTest, ForceDifferenceIsTakenInThirtyTwoBits) {
  state_.notificationCount = 20;
  calibration_ = Calibration{1.0, 0.25, -100000, std::numeric_limits<std::int32_t>::min()};
  feed(Reading{0, 0, 65535, 1, 0, 0, 0, 0});
  EXPECT_EQ(state_.force1Grams, 165535.0);
  // 1 - (-2^31) does not fit and wraps to -2^31 + 1, as 32-bit arithmetic does.
  EXPECT_EQ(state_.force2Grams, (-2147483648.0 + 1.0) * 0.25);
}

TEST_F(DecoderTest, ForceBarRoundsHalvesToEvenThroughTheDecoder) {
  state_.notificationCount = 20;
  EXPECT_EQ(feed(Reading{0, 0, 1005, 1000, 0, 0, 0, 0}).forceBarPosition, 2);  // 2.5
  EXPECT_EQ(feed(Reading{0, 0, 1007, 1000, 0, 0, 0, 0}).forceBarPosition, 4);  // 3.5
  EXPECT_EQ(feed(Reading{0, 0, 1600, 1000, 0, 0, 0, 0}).forceBarPosition, 250);
  EXPECT_EQ(feed(Reading{0, 0, 900, 1000, 0, 0, 0, 0}).forceBarPosition, 0);
}

TEST(ForceBarPosition, RoundsTiesToEvenAndStaysInRange) {
  const std::vector<std::pair<double, int>> cases = {
      {2.5, 2},    {3.5, 4},     {0.5, 0},     {1.5, 2},     {-0.5, 0},         {2.4999, 2},
      {2.5001, 3}, {249.5, 250}, {248.5, 248}, {250.5, 250}, {251.0, 250},      {-3.0, 0},
      {1e12, 250}, {-1e12, 0},   {0.0, 0},     {125.0, 125}, {std::nan(""), 0},
  };
  for (const auto& [force, position] : cases) {
    SCOPED_TRACE(force);
    EXPECT_EQ(forceBarPosition(force), position);
  }
}

TEST_F(DecoderTest, TraceLineOnlyWhenLogIsOn) {
  const std::array<std::uint8_t, 3> shortValue = {0x01, 0xA0, 0xFF};
  handleMeasurementValue(shortValue.data(), shortValue.size(), state_, calibration_, {false, false},
                         console_);
  EXPECT_EQ(console_.count(), 0);

  handleMeasurementValue(shortValue.data(), shortValue.size(), state_, calibration_, {true, false},
                         console_);
  ASSERT_EQ(console_.count(), 1);
  EXPECT_EQ(console_.last(), "E45 EvtVal=3 = 01 A0 FF ");

  feed(Value{0x00, 0x00, 0x7F, 0x01, 0xE8, 0x03, 0xF4, 0x01, 0x10, 0x00, 0xF0, 0xFF, 0x00, 0x01,
             0x7A, 0x0F},
       {true, false});
  ASSERT_EQ(console_.count(), 2);
  EXPECT_EQ(console_.last(), "E45 EvtVal=16 = 00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F ");
}

TEST_F(DecoderTest, ShortValuesChangeNothing) {
  state_.notificationCount = 9;  // a short value must not trigger the zeroing either
  state_.rawForce1 = 1234;
  state_.batteryMillivolts = 4000;
  state_.force1Grams = 117.0;
  const Value full = encode(Reading{0x11, 1, 3000, 3000, 7, 7, 7, 3800});
  for (std::size_t length : {0, 1, 3, 4, 14, 15}) {
    SCOPED_TRACE(length);
    console_.clear();
    const NotificationOutcome out =
        handleMeasurementValue(full.data(), length, state_, calibration_, {true, false}, console_);
    EXPECT_FALSE(out.decoded);
    EXPECT_FALSE(out.batteryShown);
    EXPECT_FALSE(out.zeroed);
    EXPECT_FALSE(out.gated);
    EXPECT_EQ(state_.notificationCount, 9u);
    EXPECT_EQ(state_.sampleTag, 0);
    EXPECT_EQ(state_.rawForce1, 1234);
    EXPECT_EQ(state_.batteryMillivolts, 4000);
    EXPECT_EQ(state_.force1Grams, 117.0);
    EXPECT_EQ(calibration_.ofs1, 1000);
    ASSERT_EQ(console_.count(), 1);
    EXPECT_TRUE(console_.last().startsWith(QStringLiteral("E45 EvtVal=%1 = ").arg(length)));
  }
}

TEST_F(DecoderTest, LongerValuesDecodeTheirFirstSixteenBytes) {
  std::vector<std::uint8_t> longer(20, 0xEE);
  const Value v = encode(Reading{0, 2, 1000, 1000, 0, 0, 0, 2537});
  std::copy(v.begin(), v.end(), longer.begin());
  const NotificationOutcome out =
      handleMeasurementValue(longer.data(), longer.size(), state_, calibration_, {}, console_);
  EXPECT_TRUE(out.decoded);
  EXPECT_EQ(state_.temperatureCentidegrees, 2537);
}

TEST_F(DecoderTest, EventPayloadCarriesTheValueAfterItsLength) {
  const Value v = encode(Reading{0x42, 1, 1100, 900, 3, -3, 300, 4000});
  const std::vector<std::uint8_t> payload =
      testing::attributeValuePayload(v.data(), v.size(), 0, 0x000E);
  const NotificationOutcome out = handleMeasurementNotification(
      payload.data(), payload.size(), state_, calibration_, {true, false}, console_);
  EXPECT_TRUE(out.decoded);
  EXPECT_EQ(state_.sampleTag, 0x42);
  EXPECT_EQ(state_.rawForce1, 1100);
  EXPECT_EQ(state_.accelZ, 300);
  EXPECT_EQ(batteryReadout(out.batteryReading), "UN=4.000 V");
  EXPECT_TRUE(console_.last().startsWith("E45 EvtVal=16 = AA 55 42 01 "));
}

TEST_F(DecoderTest, EventPayloadNeverReadsPastItsPacket) {
  struct Case {
    std::vector<std::uint8_t> payload;
    const char* line;
  };
  const std::vector<Case> cases = {
      {{}, "E45 EvtVal=0 = "},
      {{0x00, 0x0E, 0x00}, "E45 EvtVal=0 = "},
      {{0x00, 0x0E, 0x00, 0x01, 3, 0x01, 0xA0, 0xFF}, "E45 EvtVal=3 = 01 A0 FF "},
      // The length byte announces more than the packet holds: only what is there counts.
      {{0x00, 0x0E, 0x00, 0x01, 16, 0x01, 0xA0}, "E45 EvtVal=2 = 01 A0 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const NotificationOutcome out = handleMeasurementNotification(
        c.payload.data(), c.payload.size(), state_, calibration_, {true, false}, console_);
    EXPECT_FALSE(out.decoded);
    EXPECT_EQ(console_.last(), c.line);
  }
  EXPECT_EQ(state_.notificationCount, 0u);
}

TEST_F(DecoderTest, ZeroButtonsBeforeAnyNotificationSetOffsetsToZero) {
  EXPECT_EQ(zeroForceChannel(ForceChannel::One, state_, calibration_), 0);
  EXPECT_EQ(calibration_.ofs1, 0);
  EXPECT_EQ(calibration_.ofs2, 1000);
  EXPECT_EQ(zeroForceChannel(ForceChannel::Two, state_, calibration_), 0);
  EXPECT_EQ(calibration_.ofs2, 0);
}

TEST_F(DecoderTest, ZeroButtonMakesTheNextUnchangedReadingZero) {
  state_.notificationCount = 20;
  feed(Reading{0, 0, 1800, 2600, 0, 0, 0, 0});
  EXPECT_EQ(state_.force1Grams, 400.0);

  EXPECT_EQ(zeroForceChannel(ForceChannel::One, state_, calibration_), 1800);
  EXPECT_EQ(calibration_.ofs2, 1000);
  feed(Reading{0, 0, 1800, 2600, 0, 0, 0, 0});
  EXPECT_EQ(state_.force1Grams, 0.0);
  EXPECT_EQ(state_.force2Grams, 800.0);

  EXPECT_EQ(zeroForceChannel(ForceChannel::Two, state_, calibration_), 2600);
  EXPECT_EQ(calibration_.ofs1, 1800);
  feed(Reading{0, 0, 1800, 2600, 0, 0, 0, 0});
  EXPECT_EQ(state_.force2Grams, 0.0);
}

TEST(SlopeField, ShowsSlopeTimesThousandWithFourDigits) {
  const std::vector<std::pair<double, const char*>> cases = {
      {0.5, "0500"},   {0.75, "0750"},  {0.0, "0000"},
      {20.0, "20000"}, {-1.0, "-1000"}, {0.0125, "0013"},
  };
  for (const auto& [slope, text] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(slopeEntryText(slope), text);
  }
}

TEST(SlopeField, EntryIsSlopeTimesThousand) {
  EXPECT_EQ(slopeFromEntry(750.0), 0.75);
  EXPECT_EQ(slopeFromEntry(500.0), 0.5);
  EXPECT_EQ(slopeFromEntry(-1000.0), -1.0);
  EXPECT_EQ(slopeFromEntry(20000.0), 20.0);
}

TEST(SlopeField, EntryIsBroughtToTheNearerLimit) {
  const std::vector<std::pair<double, double>> cases = {
      {-1500.0, -1000.0}, {-1000.0, -1000.0}, {750.0, 750.0},
      {20000.0, 20000.0}, {25000.0, 20000.0}, {-999.5, -999.5},
  };
  for (const auto& [entry, clamped] : cases) {
    SCOPED_TRACE(entry);
    EXPECT_EQ(clampSlopeEntry(entry), clamped);
  }
}

TEST(OffsetField, TextThatIsNotAnIntegerReadsAsZero) {
  const std::vector<std::pair<QString, std::int32_t>> cases = {
      {"1234", 1234}, {"-5", -5},  {"0", 0},   {"", 0},
      {"abc", 0},     {"12.5", 0}, {"12x", 0}, {"99999999999", 0},
  };
  for (const auto& [text, offset] : cases) {
    SCOPED_TRACE(text.toStdString());
    EXPECT_EQ(offsetFromText(text), offset);
  }
}

}  // namespace
}  // namespace kelvaro
