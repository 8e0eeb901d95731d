#include "link/DeviceAddress.h"

#include <gtest/gtest.h>

#include <optional>

namespace kelvaro {
namespace {

struct ParseCase {
  const char* name;
  const char16_t* text;
  std::optional<DeviceAddress> address;  // least significant byte first
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseDeviceIdTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseDeviceIdTest, ReadsTheFirstTwelveHexDigitsMostSignificantFirst) {
  const ParseCase& c = GetParam();
  EXPECT_EQ(parseDeviceId(QString::fromUtf16(c.text)), c.address);
}

const DeviceAddress kBelt{0x2C, 0x1B, 0x0A, 0x80, 0x07, 0x00};

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseDeviceIdTest,
    ::testing::Values(
        ParseCase{"UpperCase", u"0007800A1B2C", kBelt},
        ParseCase{"LowerCase", u"0007800a1b2c", kBelt},
        ParseCase{"MixedCase", u"0007800A1b2C", kBelt},
        ParseCase{"AllDigitValues", u"0123456789AB",
                  DeviceAddress{0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
        ParseCase{"HighestBytes", u"FFEEDDCCBBAA",
                  DeviceAddress{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
        ParseCase{"Zero", u"000000000000", DeviceAddress{}},
        // The connect command takes a text that begins with an address; the rest is not read.
        ParseCase{"LongerTakesTheFirstTwelve", u"0007800A1B2C99", kBelt},
        ParseCase{"LongerWithAnythingAfter", u"0007800A1B2C belt", kBelt},
        ParseCase{"Empty", u"", std::nullopt},
        ParseCase{"ElevenDigits", u"0007800A1B2", std::nullopt},
        ParseCase{"NonHexLast", u"0007800A1B2G", std::nullopt},
        ParseCase{"NonHexFirst", u"G007800A1B2C", std::nullopt},
        ParseCase{"Separators", u"00:07:80:0A:1B:2C", std::nullopt},
        ParseCase{"SpaceInside", u"0007800A1B 2C", std::nullopt},
        ParseCase{"HexPrefix", u"0x07800A1B2C", std::nullopt},
        ParseCase{"FullWidthDigit", u"0007800A1B2\uFF11", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeviceIdText, IsUpperCaseHexMostSignificantByteFirst) {
  EXPECT_EQ(DeviceId(kBelt), QStringLiteral("0007800A1B2C"));
  EXPECT_EQ(DeviceId({0xff, 0xee, 0xdd, 0xcc, 0xbb, 0xaa}), QStringLiteral("AABBCCDDEEFF"));
  EXPECT_EQ(DeviceId({0, 0, 0, 0, 0, 0}), QStringLiteral("000000000000"));
}

TEST(DeviceIdText, ParsesBackToTheSameAddress) {
  for (const DeviceAddress& a : {kBelt, DeviceAddress{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB},
                                 DeviceAddress{0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}}) {
    EXPECT_EQ(parseDeviceId(DeviceId(a)), a) << DeviceId(a).toStdString();
  }
}

}  // namespace
}  // namespace kelvaro
