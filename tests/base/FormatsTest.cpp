#include "base/Formats.h"

#include <QLocale>
#include <clocale>
#include <cmath>
#include <iomanip>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kelvaro::fmt {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct FloatCase {
  const char* picture;
  double value;
  const char* expected;
};

void PrintTo(const FloatCase& c, std::ostream* os) { *os << '"' << c.picture << "\" " << c.value; }

class FormatFloatTest : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FormatFloatTest, FormatsWithPicture) {
  const FloatCase& c = GetParam();
  EXPECT_EQ(formatFloat(QString::fromUtf8(c.picture), c.value), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    ProgramFormats, FormatFloatTest,
    ::testing::Values(
        // Force labels: zero padded to three digits, wider values in full.
        FloatCase{"000", 12.4, "012"}, FloatCase{"000", -3.6, "-004"},
        FloatCase{"000", 1234.2, "1234"}, FloatCase{"000", 0, "000"},
        FloatCase{"000", -250, "-250"},
        // Battery and temperature read-outs with literal text around the number.
        FloatCase{"UN=0.000 V", 4123 / 1000.0, "UN=4.123 V"},
        FloatCase{"UN=0.000 V", 3962 / 1000.0, "UN=3.962 V"},
        FloatCase{"UN=0.000 V", 3600 / 1000.0, "UN=3.600 V"},
        FloatCase{"UN=0.000 V", 4300 / 1000.0, "UN=4.300 V"},
        FloatCase{"T=0.00 °C", 2537 / 100.0, "T=25.37 °C"},
        FloatCase{"T=0.00 °C", 65535 / 100.0, "T=655.35 °C"},
        // Scratch values.
        FloatCase{"0000.0", 12.34, "0012.3"}, FloatCase{"0000.0", 0, "0000.0"},
        FloatCase{"0000.0", -12.34, "-0012.3"}, FloatCase{"0000.0", 12345.67, "12345.7"},
        FloatCase{"00000", 100, "00100"}, FloatCase{"00000", -5, "-00005"},
        FloatCase{"00000", 4000, "04000"},
        // Activity texts and thresholds.
        FloatCase{"#0.00", 0, "0.00"}, FloatCase{"#0.00", 3.14159, "3.14"},
        FloatCase{"#0.00", 123.456, "123.46"}, FloatCase{"0.00", 4.15, "4.15"},
        FloatCase{"0.00", 0.6, "0.60"}, FloatCase{"0", 45, "45"}, FloatCase{"0", 0, "0"},
        FloatCase{"0000", 500, "0500"},
        // Chart cursor read-outs.
        FloatCase{"##0.00 s", 12.5, "12.50 s"}, FloatCase{"##0.00 s", 0.25, "0.25 s"},
        FloatCase{"#0.00 bar ", 3.14159, "3.14 bar "}, FloatCase{"####0 ", 7.6, "8 "},
        FloatCase{"####0 ", 123456.0, "123456 "}, FloatCase{"(####0 ms)", 150, "(150 ms)"},
        FloatCase{"(####0 ms)", -3, "-(3 ms)"}, FloatCase{"####0 g", 123.4, "123 g"},
        FloatCase{"####0 g", 0.2, "0 g"},
        // Axis labels: optional decimals and thousands grouping.
        FloatCase{"#,##0.##", 500, "500"}, FloatCase{"#,##0.##", 1234.5, "1,234.5"},
        FloatCase{"#,##0.##", 1234567, "1,234,567"}, FloatCase{"#,##0.##", 0, "0"},
        FloatCase{"#,##0.##", 12.345, "12.35"}, FloatCase{"#,##0.##", -1234.567, "-1,234.57"},
        FloatCase{"###0.###", 65535, "65535"}, FloatCase{"###0.###", 0.5, "0.5"},
        FloatCase{"###0.###", 1.0005, "1.001"}, FloatCase{"###0.###", 100, "100"}));

INSTANTIATE_TEST_SUITE_P(Rounding, FormatFloatTest,
                         ::testing::Values(
                             // Halves go away from zero, judged on the decimal value the user sees.
                             FloatCase{"0.00", 0.125, "0.13"}, FloatCase{"0.00", 2.675, "2.68"},
                             FloatCase{"0.00", 1.005, "1.01"}, FloatCase{"0.00", -0.125, "-0.13"},
                             FloatCase{"0", 0.5, "1"}, FloatCase{"0", 1.5, "2"},
                             FloatCase{"0", 2.5, "3"}, FloatCase{"0", -2.5, "-3"},
                             FloatCase{"0", 0.49999, "0"}, FloatCase{"0.00", 9.995, "10.00"},
                             FloatCase{"0", 99.5, "100"}, FloatCase{"0.0", 0.04, "0.0"},
                             // A negative value that rounds to zero has no minus sign.
                             FloatCase{"0.00", -0.001, "0.00"}, FloatCase{"000", -0.4, "000"},
                             FloatCase{"0.00", -0.0, "0.00"}));

INSTANTIATE_TEST_SUITE_P(
    PictureFeatures, FormatFloatTest,
    ::testing::Values(
        // Leading '#' do not pad; trailing '#' drop zeros and then the point.
        FloatCase{"#", 0, ""}, FloatCase{"#.##", 0.5, ".5"}, FloatCase{"0.##", 1, "1"},
        FloatCase{".00", 0.5, ".50"}, FloatCase{".00", 12.5, "12.50"},
        FloatCase{"000,000", 5, "000,005"},
        // Large values keep 15 significant digits.
        FloatCase{"0", 1e20, "100000000000000000000"},
        FloatCase{"0", 123456789012345678.0, "123456789012346000"},
        FloatCase{"0.000", 1e-7, "0.000"},
        // Quoted literals and sections.
        FloatCase{"'#'0", 5, "#5"}, FloatCase{"\"0.0;\"0", 7, "0.0;7"},
        FloatCase{"0.0;(0.0);zero", 1.25, "1.3"}, FloatCase{"0.0;(0.0);zero", -1.25, "(1.3)"},
        FloatCase{"0.0;(0.0);zero", 0.04, "zero"}, FloatCase{"0.0;(0.0);zero", -0.04, "zero"},
        FloatCase{"0;;", -5, "-5"}, FloatCase{"0.0;(0.0)", 0, "0.0"},
        // Scientific notation.
        FloatCase{"0.00E+00", 1234, "1.23E+03"}, FloatCase{"0.00E+00", 0.000123, "1.23E-04"},
        FloatCase{"0.00E+00", 0, "0.00E+00"}, FloatCase{"0.00E+00", 9.999, "1.00E+01"},
        FloatCase{"0.0e-0", 12345, "1.2e4"}, FloatCase{"0.0e-0", -0.012, "-1.2e-2"},
        // An empty picture is the general format; non-finite values have fixed texts.
        FloatCase{"", 1.5, "1.5"}, FloatCase{"0.00", kNaN, "NAN"}, FloatCase{"0.00", kInf, "INF"},
        FloatCase{"0.00", -kInf, "-INF"}));

TEST(PictureTest, CompiledPictureMatchesFormatFloatAndAppendsInPlace) {
  const Picture picture(QStringLiteral("0000.0"));
  EXPECT_EQ(picture.format(12.34), formatFloat(QStringLiteral("0000.0"), 12.34));
  std::string out;
  out.reserve(64);
  out = "force ";
  const char* storage = out.data();
  picture.appendTo(out, -12.34);
  EXPECT_EQ(out, "force -0012.3");
  EXPECT_EQ(out.data(), storage);
}

struct GeneralCase {
  double value;
  const char* expected;
};

class FormatGeneralTest : public ::testing::TestWithParam<GeneralCase> {};

TEST_P(FormatGeneralTest, WritesSettingsReal) {
  EXPECT_EQ(formatGeneral(GetParam().value), QLatin1String(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatGeneralTest,
    ::testing::Values(GeneralCase{0.0000012, "1.2E-6"}, GeneralCase{0.5, "0.5"},
                      GeneralCase{4, "4"}, GeneralCase{2.5e20, "2.5E20"}, GeneralCase{1e-6, "1E-6"},
                      GeneralCase{0, "0"}, GeneralCase{-0.0, "0"}, GeneralCase{0.00001, "0.00001"},
                      GeneralCase{0.0000099, "9.9E-6"},
                      GeneralCase{123456789012345.0, "123456789012345"}, GeneralCase{1e15, "1E15"},
                      GeneralCase{-1.5e-300, "-1.5E-300"}, GeneralCase{0.1, "0.1"},
                      GeneralCase{0.1 + 0.2, "0.3"}, GeneralCase{1.0 / 3.0, "0.333333333333333"},
                      GeneralCase{-4.15, "-4.15"}, GeneralCase{65535, "65535"},
                      GeneralCase{1000, "1000"}, GeneralCase{kNaN, "NAN"}, GeneralCase{kInf, "INF"},
                      GeneralCase{-kInf, "-INF"}));

TEST(FormatGeneralTest, ReadsBackWhatItWrites) {
  for (double v : {0.5, 1.2e-6, 4.15, -1234.5678, 2.5e20, 1.0 / 3.0, 0.00001}) {
    const auto back = parseReal(formatGeneral(v));
    ASSERT_TRUE(back.has_value()) << v;
    EXPECT_NEAR(*back, v, std::fabs(v) * 1e-14) << v;
  }
}

TEST(FormatFixedTest, PadsLikePrintf) {
  struct Case {
    double value;
    int width;
    int decimals;
    const char* expected;
  };
  const Case cases[] = {
      {0, 7, 1, "    0.0"},     {-250, 7, 1, " -250.0"},        {25.37, 6, 2, " 25.37"},
      {655.35, 6, 2, "655.35"}, {1234567.8, 7, 1, "1234567.8"}, {-0.04, 7, 1, "    0.0"},
      {0.25, 0, 1, "0.3"},      {12.5, 4, 0, "  13"},           {kNaN, 5, 1, "  NAN"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatFixed(c.value, c.width, c.decimals), QLatin1String(c.expected))
        << c.value << " %" << c.width << "." << c.decimals << "f";
  }
}

// The row formatter's quick digits agree with the picture formats' exact rounding on values of
// every kind a recording meets: calibrated forces, hundredths of a degree, values just beside a
// rounding half and on it, large and negative ones.
TEST(FormatFixedTest, AgreesWithThePictureFormatsOnManyValues) {
  const QString pictures[] = {QStringLiteral("0"), QStringLiteral("0.0"), QStringLiteral("0.00"),
                              QStringLiteral("0.000")};
  std::mt19937 random(7);
  std::uniform_int_distribution<int> raw(0, 65535);
  std::uniform_real_distribution<double> slope(0.01, 2.0);
  std::vector<double> values;
  for (int i = 0; i < 10000; ++i) values.push_back((raw(random) - raw(random)) * slope(random));
  for (int k = -5000; k <= 5000; ++k) {
    values.push_back(k / 100.0);
    values.push_back(k / 1000.0 + 0.0005);
    values.push_back(std::nextafter(k / 20.0, 1e9));
    values.push_back(std::nextafter(k / 20.0, -1e9));
  }
  values.insert(values.end(), {0.0, -0.0, 1e11 + 0.25, -1e11 - 0.75, 4e12 + 0.5, 1e300});
  int differing = 0;
  for (const double v : values) {
    for (int decimals = 0; decimals <= 3; ++decimals) {
      const QString quick = formatFixed(v, 0, decimals);
      const QString exact = formatFloat(pictures[decimals], v);
      if (quick != exact && ++differing < 10) {
        ADD_FAILURE() << std::setprecision(17) << v << " with " << decimals
                      << " decimals: " << quick.toStdString() << " vs " << exact.toStdString();
      }
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST(FormatIntTest, PadsLikePrintf) {
  EXPECT_EQ(formatInt(16, 5), QLatin1String("   16"));
  EXPECT_EQ(formatInt(-16, 5), QLatin1String("  -16"));
  EXPECT_EQ(formatInt(3962, 4), QLatin1String("3962"));
  EXPECT_EQ(formatInt(0, 4), QLatin1String("   0"));
  EXPECT_EQ(formatInt(123456, 5), QLatin1String("123456"));
  EXPECT_EQ(formatInt(std::numeric_limits<std::int64_t>::min(), 0),
            QLatin1String("-9223372036854775808"));
}

TEST(AppendTest, BuildsARecordRow) {
  std::string row;
  appendHexByte(row, 0x7F);
  row += ';';
  appendFixed(row, 0, 7, 1);
  row += ';';
  appendFixed(row, -250, 7, 1);
  for (int accel : {16, -16, 256}) {
    row += ';';
    appendInt(row, accel, 5);
  }
  row += ';';
  appendInt(row, 3962, 4);
  row += ';';
  appendFixed(row, 2537 / 100.0, 6, 2);
  EXPECT_EQ(row, "7F;    0.0; -250.0;   16;  -16;  256;3962; 25.37");
}

TEST(HexByteTest, TwoUpperCaseDigits) {
  EXPECT_EQ(hexByte(0x00), QLatin1String("00"));
  EXPECT_EQ(hexByte(0x0A), QLatin1String("0A"));
  EXPECT_EQ(hexByte(0x7F), QLatin1String("7F"));
  EXPECT_EQ(hexByte(0xC4), QLatin1String("C4"));
  EXPECT_EQ(hexByte(0xFF), QLatin1String("FF"));
}

TEST(ParseRealTest, AcceptsPointAndExponent) {
  const std::pair<const char*, double> good[] = {
      {"4.15", 4.15}, {" 0.5 ", 0.5}, {"1.2E-6", 1.2e-6}, {"2.5e20", 2.5e20}, {"-3", -3},
      {"+7", 7},      {".5", 0.5},    {"1.", 1},          {"1e5", 1e5},       {"\t65535\t", 65535},
  };
  for (const auto& [text, value] : good) {
    const auto parsed = parseReal(QLatin1String(text));
    ASSERT_TRUE(parsed.has_value()) << text;
    EXPECT_DOUBLE_EQ(*parsed, value) << text;
  }
}

TEST(ParseRealTest, RejectsAnythingElse) {
  for (const char* text : {"", "  ", "abc", "1,5", "1.5x", "e5", "1e", "inf", "nan", "0x10", "--1",
                           "+-1", "1 2", ".", "-", "1e400"}) {
    EXPECT_FALSE(parseReal(QLatin1String(text)).has_value()) << text;
  }
  EXPECT_FALSE(parseReal(QStringLiteral("１")).has_value());
}

TEST(ParseIntegerTest, AcceptsDecimalAndHexadecimal) {
  const std::pair<const char*, std::int32_t> good[] = {
      {"31", 31},
      {"0x1F", 31},
      {"$1F", 31},
      {"0X1f", 31},
      {" -12 ", -12},
      {"+7", 7},
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"$FFFFFFFF", -1},
      {"-$1F", -31},
      {"007", 7},
  };
  for (const auto& [text, value] : good) {
    const auto parsed = parseInteger(QLatin1String(text));
    ASSERT_TRUE(parsed.has_value()) << text;
    EXPECT_EQ(*parsed, value) << text;
  }
}

TEST(ParseIntegerTest, RejectsOutOfRangeAndGarbage) {
  for (const char* text : {"2147483648", "-2147483649", "abc", "", " ", "0x", "$", "1.5", "12a",
                           "0x1G", "$100000000", "1 2", "-", "99999999999999999999"}) {
    EXPECT_FALSE(parseInteger(QLatin1String(text)).has_value()) << text;
  }
}

const QDateTime kMorning(QDate(2024, 3, 5), QTime(7, 8, 9, 45));
const QDateTime kEvening(QDate(1999, 12, 31), QTime(19, 5, 0));

TEST(FormatDateTimeTest, MinutesFollowHours) {
  EXPECT_EQ(formatDateTimeLong(kMorning), QLatin1String("07:08:09 05.03.2024"));
  EXPECT_EQ(formatDateTimeShort(kMorning), QLatin1String("07:08 05.03.24"));
  EXPECT_EQ(formatDateTime(QStringLiteral("HH:MM:SS DD.MM.YYYY"), kEvening),
            QLatin1String("19:05:00 31.12.1999"));
  EXPECT_EQ(formatDateTime(QStringLiteral("HH:MM:SS"), kMorning), QLatin1String("07:08:09"));
  EXPECT_EQ(formatDateTime(QStringLiteral("mm"), kMorning), QLatin1String("03"));
}

TEST(FormatDateTimeTest, PictureLetters) {
  const std::pair<const char*, const char*> cases[] = {
      {"h:n:s d/m/yy", "7:8:9 5.3.24"},
      {"hh:nn am/pm", "07:08 am"},
      {"mmm dddd", "Mar Tuesday"},
      {"mmmm ddd", "March Tue"},
      {"'hh' hh", "hh 07"},
      {"ss.zzz", "09.045"},
      {"s.z", "9.45"},
      {"yyyy-mm-dd", "2024-03-05"},
  };
  for (const auto& [picture, expected] : cases) {
    EXPECT_EQ(formatDateTime(QLatin1String(picture), kMorning), QLatin1String(expected)) << picture;
  }
  EXPECT_EQ(formatDateTime(QStringLiteral("h:nn AM/PM"), kEvening), QLatin1String("7:05 PM"));
  EXPECT_EQ(formatDateTime(QStringLiteral("hh a/p"), QDateTime(QDate(2024, 1, 1), QTime(0, 30))),
            QLatin1String("12 a"));
  EXPECT_EQ(formatDateTime(QStringLiteral("hh:nn"), QDateTime()), QString());
}

TEST(FormatTimeOfDayTest, DropsWholeDays) {
  constexpr std::int64_t kHour = 3600 * 1000;
  EXPECT_EQ(formatTimeOfDay((1 * 3600 + 23 * 60 + 45) * 1000), QLatin1String("01:23:45"));
  EXPECT_EQ(formatTimeOfDay(25 * kHour), QLatin1String("01:00:00"));
  EXPECT_EQ(formatTimeOfDay(0), QLatin1String("00:00:00"));
  EXPECT_EQ(formatTimeOfDay(999), QLatin1String("00:00:00"));
  EXPECT_EQ(formatTimeOfDay(24 * kHour - 1), QLatin1String("23:59:59"));
  EXPECT_EQ(formatTimeOfDay(-kHour), QLatin1String("01:00:00"));
}

TEST(ParseTimeTest, ReadsHoursMinutesSeconds) {
  EXPECT_EQ(parseTime(QStringLiteral("07:08:09")), QTime(7, 8, 9));
  EXPECT_EQ(parseTime(QStringLiteral("7:8")), QTime(7, 8, 0));
  EXPECT_EQ(parseTime(QStringLiteral(" 23:59:59 ")), QTime(23, 59, 59));
  for (const char* text : {"24:00:00", "12:60", "12:00:60", "", "12", "1:2:3:4", "ab:cd", "123:00",
                           "12:00:", "1 :2", "4444444444:07:06", "07:99999999999"}) {
    EXPECT_FALSE(parseTime(QLatin1String(text)).has_value()) << text;
  }
}

TEST(ParseDateTest, ReadsDayMonthYear) {
  EXPECT_EQ(parseDate(QStringLiteral("05.03.2024")), QDate(2024, 3, 5));
  EXPECT_EQ(parseDate(QStringLiteral("5.3.2024")), QDate(2024, 3, 5));
  EXPECT_EQ(parseDate(QStringLiteral("29.02.2024")), QDate(2024, 2, 29));
  EXPECT_EQ(parseDate(QStringLiteral("05.03.24")), QDate(2024, 3, 5));
  for (const char* text : {"29.02.2023", "32.01.2024", "05/03/2024", "", "1.2", "1.2.3.4",
                           "05.13.2024", "x.3.2024", "05.03.99999999999"}) {
    EXPECT_FALSE(parseDate(QLatin1String(text)).has_value()) << text;
  }
}

TEST(ParseDateTimeLongTest, ReadsWhatFormatDateTimeLongWrites) {
  const QDateTime start(QDate(2023, 11, 30), QTime(22, 4, 59));
  EXPECT_EQ(parseDateTimeLong(formatDateTimeLong(start)), start);
  EXPECT_FALSE(parseDateTimeLong(QStringLiteral("22:04:59")).has_value());
  EXPECT_FALSE(parseDateTimeLong(QStringLiteral("22:04:59 31.11.2023")).has_value());
}

// Restores the process locale and Qt's default locale after a test changed them.
class LocaleGuard {
 public:
  LocaleGuard() : qtDefault_(QLocale()), processLocale_(std::setlocale(LC_ALL, nullptr)) {}
  ~LocaleGuard() {
    QLocale::setDefault(qtDefault_);
    std::setlocale(LC_ALL, processLocale_.c_str());
  }
  LocaleGuard(const LocaleGuard&) = delete;
  LocaleGuard& operator=(const LocaleGuard&) = delete;

 private:
  QLocale qtDefault_;
  std::string processLocale_;
};

TEST(LocaleTest, UsesPointWhateverTheLocale) {
  LocaleGuard guard;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  // Only takes effect where the German locale is installed; the Qt default changes anyway.
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));

  EXPECT_EQ(formatFloat(QStringLiteral("#,##0.00"), 1234.5), QLatin1String("1,234.50"));
  EXPECT_EQ(formatFloat(QStringLiteral("UN=0.000 V"), 4.123), QLatin1String("UN=4.123 V"));
  EXPECT_EQ(formatGeneral(0.0000012), QLatin1String("1.2E-6"));
  EXPECT_EQ(formatGeneral(0.5), QLatin1String("0.5"));
  EXPECT_EQ(formatFixed(25.37, 6, 2), QLatin1String(" 25.37"));
  EXPECT_EQ(parseReal(QStringLiteral("0.5")), 0.5);
  EXPECT_FALSE(parseReal(QStringLiteral("0,5")).has_value());
  EXPECT_EQ(formatDateTime(QStringLiteral("mmm dddd"), kMorning), QLatin1String("Mar Tuesday"));
}

}  // namespace
}  // namespace kelvaro::fmt
