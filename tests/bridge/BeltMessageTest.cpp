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

TEST(BeltMessage, TheBeltsLabelEndsTheObject) {
  BeltReading r;
  r.sequence = 3;
  r.connected = true;
  BeltMessage plain;
  plain.build(r);
  BeltMessage labelled;
  labelled.build(r, BeltLabel(2, u"Anna"));
  const std::string_view text = plain.text();
  EXPECT_EQ(labelled.text(),
            std::string(text.substr(0, text.size() - 1)) + ",\"belt\":2,\"name\":\"Anna\"}");
  // No belt: the message of one reading alone.
  labelled.build(r, BeltLabel());
  EXPECT_EQ(labelled.text(), plain.text());
}

TEST(BeltMessage, ANameIsAJsonStringOfPrintableAscii) {
  const struct {
    std::u16string name;
    const char* json;
  } cases[] = {
      {u"", ",\"belt\":1,\"name\":\"\""},
      {u"A\"B\\C", ",\"belt\":1,\"name\":\"A\\\"B\\\\C\""},
      {u"tab\there\n", ",\"belt\":1,\"name\":\"tab\\u0009here\\u000a\""},
      {u"\u0160\u00e1rka", ",\"belt\":1,\"name\":\"\\u0160\\u00e1rka\""},
      {u"\U0001F600", ",\"belt\":1,\"name\":\"\\ud83d\\ude00\""},
      {u"\x7f", ",\"belt\":1,\"name\":\"\\u007f\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BeltLabel(1, c.name).json(), c.json);
  }
}

TEST(BeltMessage, ALongNameIsCutWithoutHalvingACharacter) {
  const std::u16string letters(BeltLabel::kMaxNameUnits + 5, u'x');
  const std::string kept(BeltLabel::kMaxNameUnits, 'x');
  EXPECT_EQ(BeltLabel(0, letters).json(), ",\"belt\":0,\"name\":\"" + kept + "\"");
  // A pair of surrogates across the cut goes whole.
  std::u16string pair(BeltLabel::kMaxNameUnits - 1, u'y');
  pair += u"\U0001F600";
  EXPECT_EQ(BeltLabel(0, pair).json(),
            ",\"belt\":0,\"name\":\"" + std::string(BeltLabel::kMaxNameUnits - 1, 'y') + "\"");
  // The longest label and the longest reading fit together.
  BeltReading r;
  r.sequence = std::numeric_limits<std::uint64_t>::max();
  r.force1 = r.force2 = r.activity = -9.99e11;
  r.breathsPerMinute = -9.99e11;
  r.accelX = r.accelY = r.accelZ = std::numeric_limits<int>::min();
  BeltMessage m;
  m.build(r, BeltLabel(std::numeric_limits<int>::min(), std::u16string(100, u'\u20ac')));
  ASSERT_LT(m.size(), BeltMessage::kCapacity);
  EXPECT_EQ(m.text().substr(m.size() - 8), "\\u20ac\"}");
}

}  // namespace
}  // namespace kelvaro
