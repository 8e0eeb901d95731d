// The text of one message to the editors.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "bridge/BeltMessage.h"

namespace kelvaro {
namespace {

TEST(BeltMessage, CarriesTheScratchValuesUnderTheirNamesAndTheBreathing) {
  BeltReading r;
  r.sequence = 7;
  r.force1 = 12.34;
  r.force2 = -0.04;
  r.accelX = 100;
  r.accelY = -5;
  r.accelZ = 4000;
  r.breathsPerMinute = 15.25;
  r.phase = BreathPhase::In;
  r.apnea = false;
  r.activity = 3.256;
  r.connected = true;
  BeltMessage m;
  m.build(r);
  EXPECT_EQ(m.text(),
            "{\"n\":7,\"force\":12.3,\"force2\":0.0,\"GX\":100,\"GY\":-5,\"GZ\":4000,"
            "\"breathsPerMinute\":15.2,\"phase\":\"in\",\"apnea\":false,\"activity\":3.26,"
            "\"connected\":true}");

  r.breathsPerMinute.reset();
  r.phase = BreathPhase::Unknown;
  r.apnea = true;
  r.connected = false;
  m.build(r);
  EXPECT_NE(m.text().find("\"breathsPerMinute\":null,\"phase\":null,\"apnea\":true"),
            std::string_view::npos)
      << m.text();
  EXPECT_NE(m.text().find("\"connected\":false}"), std::string_view::npos);
  r.phase = BreathPhase::Out;
  m.build(r);
  EXPECT_NE(m.text().find("\"phase\":\"out\""), std::string_view::npos);
}

TEST(BeltMessage, ANumberIsAlwaysAJsonNumber) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {std::numeric_limits<double>::quiet_NaN(), "0.0"},
      {std::numeric_limits<double>::infinity(), "0.0"},
      {-std::numeric_limits<double>::infinity(), "0.0"},
      {1e300, "0.0"},
      {-0.0, "0.0"},
      {-0.04, "0.0"},
      {-32767.5, "-32767.5"},
      {0.05, "0.1"},
      {131070.0, "131070.0"},
  };
  // Whatever the locale says of decimal points.
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  for (const auto& c : cases) {
    BeltReading r;
    r.force1 = c.value;
    BeltMessage m;
    m.build(r);
    EXPECT_NE(m.text().find(std::string("\"force\":") + c.text + ","), std::string_view::npos)
        << c.value << ": " << m.text();
  }
  std::setlocale(LC_NUMERIC, "C");
}

TEST(BeltMessage, TheLongestReadingFits) {
  BeltReading r;
  r.sequence = std::numeric_limits<std::uint64_t>::max();
  r.force1 = r.force2 = -9.99e11;
  r.accelX = r.accelY = r.accelZ = std::numeric_limits<int>::min();
  r.breathsPerMinute = -9.99e11;
  r.activity = -9.99e11;
  r.apnea = r.connected = true;
  r.phase = BreathPhase::Out;
  BeltMessage m;
  m.build(r);
  ASSERT_LT(m.size(), BeltMessage::kCapacity);
  EXPECT_EQ(m.text().back(), '}');
}

}  // namespace
}  // namespace kelvaro
