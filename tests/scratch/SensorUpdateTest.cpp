// The sensor-update frame byte for byte, and what the console shows of received bytes.
#include <QByteArray>
#include <climits>
#include <cstdint>
#include <iomanip>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/Formats.h"
#include "scratch/SensorUpdate.h"

namespace kelvaro {
namespace {

std::string frameOf(int ax, int ay, int az, double f1, double f2) {
  SensorUpdateFrame frame;
  frame.build(ax, ay, az, f1, f2);
  return std::string(frame.data(), frame.size());
}

std::string lengthPrefix(std::uint32_t length) {
  return std::string{static_cast<char>(length >> 24), static_cast<char>((length >> 16) & 0xFF),
                     static_cast<char>((length >> 8) & 0xFF), static_cast<char>(length & 0xFF)};
}

TEST(SensorUpdateFrameTest, TheDocumentedExampleIsSeventyNineBytes) {
  const std::string text =
      "sensor-update \"force\" 0012.3 \"force2\" 0000.0 \"GX\"00100 \"GY\"-00005 \"GZ\"04000";
  ASSERT_EQ(text.size(), 75u);
  const std::string frame = frameOf(100, -5, 4000, 12.34, 0.0);
  ASSERT_EQ(frame.size(), 79u);
  EXPECT_EQ(frame.substr(0, 4), std::string("\x00\x00\x00\x4B", 4));
  EXPECT_EQ(frame.substr(4), text);
}

struct MessageCase {
  const char* what;
  int ax, ay, az;
  double f1, f2;
  const char* message;
};

class SensorUpdateMessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(SensorUpdateMessageTest, PiecesAndFormats) {
  const MessageCase& c = GetParam();
  SensorUpdateFrame frame;
  frame.build(c.ax, c.ay, c.az, c.f1, c.f2);
  EXPECT_EQ(std::string(frame.message()), c.message) << c.what;
  EXPECT_EQ(std::string(frame.data(), 4), lengthPrefix(frame.message().size())) << c.what;
  EXPECT_LE(frame.message().size(), SensorUpdateFrame::kMaxMessage) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Values, SensorUpdateMessageTest,
    ::testing::Values(
        MessageCase{"the test button's values", 111, 222, 333, 55000, 1.0,
                    "sensor-update \"force\" 55000.0 \"force2\" 0001.0 \"GX\"00111 \"GY\"00222 "
                    "\"GZ\"00333"},
        MessageCase{"negative forces keep four digits after the sign", -1, 0, 1, -12.5, -0.25,
                    "sensor-update \"force\" -0012.5 \"force2\" -0000.3 \"GX\"-00001 \"GY\"00000 "
                    "\"GZ\"00001"},
        MessageCase{"halves round away from zero; a negative zero has no sign", 0, 0, 0, 2.25,
                    -0.04,
                    "sensor-update \"force\" 0002.3 \"force2\" 0000.0 \"GX\"00000 \"GY\"00000 "
                    "\"GZ\"00000"},
        MessageCase{"the extremes of a notification and of the test field", -32768, 32767, -32768,
                    static_cast<double>(INT_MIN), 1310700.0,
                    "sensor-update \"force\" -2147483648.0 \"force2\" 1310700.0 \"GX\"-32768 "
                    "\"GY\"32767 \"GZ\"-32768"}),
    [](const ::testing::TestParamInfo<MessageCase>& info) {
      return "Case" + std::to_string(info.index);
    });

TEST(SensorUpdateFrameTest, ALongerMessageCarriesItsFullLength) {
  // Not a value a belt sends, but the length is a 32-bit number all the same.
  SensorUpdateFrame frame;
  frame.build(0, 0, 0, 1e300, 0.0);
  ASSERT_GT(frame.message().size(), 255u);
  EXPECT_EQ(std::string(frame.data(), 4), lengthPrefix(frame.message().size()));
  EXPECT_EQ(frame.size(), frame.message().size() + 4);
}

TEST(SensorUpdateFrameTest, ABuiltFrameReplacesThePreviousOne) {
  SensorUpdateFrame frame;
  frame.build(-32768, -32768, -32768, -1e6, -1e6);
  frame.build(100, -5, 4000, 12.34, 0.0);
  EXPECT_EQ(frame.size(), 79u);
}

// The frame formats forces on a quick path; whatever the value, the text is the program's
// "0000.0" picture's.
TEST(SensorUpdateFrameTest, ForcesReadAsThePictureFormatsThem) {
  std::vector<double> values = {
      0.05,    0.15,     0.25,         -0.05,           -0.15,
      2.675,   12.35,    1.45,         -1.45,           0.04999999999999999,
      9999.95, -9999.95, 123456789.25, 1e8 / 10 + 0.05, 1e300,
      -1e300,  5e-324,   -0.0};
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> wide(-40000.0, 40000.0);
  std::uniform_int_distribution<int> raw(0, 65535);
  std::uniform_int_distribution<int> slope(-1000, 20000);
  for (int i = 0; i < 20000; ++i) values.push_back(wide(random));
  // Forces as the calibration makes them: (raw - offset) * slope.
  for (int i = 0; i < 20000; ++i) values.push_back((raw(random) - 1000) * (slope(random) / 1000.0));
  for (int i = -2000; i <= 2000; ++i) values.push_back(i / 100.0);
  for (const double value : values) {
    SensorUpdateFrame frame;
    frame.build(0, 0, 0, value, 0.0);
    const std::string expected = "sensor-update \"force\" " +
                                 fmt::formatFloat(QStringLiteral("0000.0"), value).toStdString() +
                                 " \"force2\" 0000.0 \"GX\"00000 \"GY\"00000 \"GZ\"00000";
    ASSERT_EQ(std::string(frame.message()), expected) << std::setprecision(17) << value;
  }
}

TEST(ReceivedDataLineTest, ControlBytesAsHexAndTheRestAsCharacters) {
  struct Case {
    QByteArray bytes;
    QString line;
  };
  const Case cases[] = {
      {QByteArray("\x00\x00\x00\x02hi", 6), QStringLiteral("Data=\"#00 #00 #00 #02 hi\"")},
      {QByteArray(), QStringLiteral("Data=\"\"")},
      {QByteArray("a\x1F b\x20\x7F", 6), QStringLiteral("Data=\"a#1F  b \x7F\"")},
      {QByteArray("\xE9", 1), QString(QChar(0xE9)).prepend(QStringLiteral("Data=\"")) + '"'},
  };
  for (const Case& c : cases) EXPECT_EQ(receivedDataLine(c.bytes), c.line) << c.line.toStdString();
}

}  // namespace
}  // namespace kelvaro
