#include "base/AxisScale.h"

#include <QLocale>
#include <QStringList>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace kelvaro::axes {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

QStringList labels(const Scale& s) {
  QStringList texts;
  for (int i = 0; i < s.count; ++i) texts << tickLabel(s.value(i), s.step);
  return texts;
}

struct ScaleCase {
  double from, to;
  int maxIntervals;
  double minimum, maximum, step;
  const char* labels;  // joined with blanks
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
  *os << c.from << ".." << c.to << " in " << c.maxIntervals;
}

class FittedScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(FittedScaleTest, WidensToRoundEndsAndSteps) {
  const ScaleCase& c = GetParam();
  const Scale s = fittedScale(c.from, c.to, c.maxIntervals);
  EXPECT_DOUBLE_EQ(s.minimum, c.minimum);
  EXPECT_DOUBLE_EQ(s.maximum, c.maximum);
  EXPECT_DOUBLE_EQ(s.step, c.step);
  EXPECT_LE(s.count - 1, c.maxIntervals);
  EXPECT_DOUBLE_EQ(s.first, s.minimum) << "both ends are labelled";
  EXPECT_NEAR(s.value(s.count - 1), s.maximum, s.step * 1e-9);
  EXPECT_EQ(labels(s).join(QChar(' ')), QString::fromLatin1(c.labels));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, FittedScaleTest,
    ::testing::Values(
        ScaleCase{0, 56.3, 8, 0, 60, 10, "0 10 20 30 40 50 60"},
        ScaleCase{0, 56.3, 4, 0, 60, 20, "0 20 40 60"},
        ScaleCase{0, 60, 8, 0, 60, 10, "0 10 20 30 40 50 60"},
        ScaleCase{0, 1, 8, 0, 1, 0.2, "0.0 0.2 0.4 0.6 0.8 1.0"},
        ScaleCase{3.7, 56.3, 8, 0, 60, 10, "0 10 20 30 40 50 60"},
        ScaleCase{-65, 65000, 10, -10000, 70000, 10000,
                  "-10000 0 10000 20000 30000 40000 50000 60000 70000"},
        ScaleCase{-250, -30, 6, -250, 0, 50, "-250 -200 -150 -100 -50 0"},
        // Widening at both ends would make 6 steps of 2; steps of 5 make 3.
        ScaleCase{0.5, 10.5, 5, 0, 15, 5, "0 5 10 15"},
        // A very small range: the labels get the decimals that tell them apart.
        ScaleCase{1.00012, 1.00047, 8, 1.0001, 1.0005, 0.00005,
                  "1.00010 1.00015 1.00020 1.00025 1.00030 1.00035 1.00040 1.00045 1.00050"},
        ScaleCase{0.1, 0.3, 4, 0.1, 0.3, 0.05, "0.10 0.15 0.20 0.25 0.30"},
        // A flat series gets a unit around it.
        ScaleCase{0, 0, 8, -1, 1, 0.5, "-1.0 -0.5 0.0 0.5 1.0"},
        ScaleCase{512, 512, 8, 511, 513, 0.5, "511.0 511.5 512.0 512.5 513.0"},
        // Ends given the wrong way round are the same range.
        ScaleCase{56.3, 0, 8, 0, 60, 10, "0 10 20 30 40 50 60"}));

class FixedScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(FixedScaleTest, KeepsTheEndsAndLabelsRoundMultiplesWithin) {
  const ScaleCase& c = GetParam();
  const Scale s = fixedScale(c.from, c.to, c.maxIntervals);
  EXPECT_EQ(s.minimum, c.from);
  EXPECT_EQ(s.maximum, c.to);
  EXPECT_DOUBLE_EQ(s.step, c.step);
  EXPECT_EQ(labels(s).join(QChar(' ')), QString::fromLatin1(c.labels));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, FixedScaleTest,
    ::testing::Values(
        ScaleCase{0, 65535, 14, 0, 65535, 5000,
                  "0 5000 10000 15000 20000 25000 30000 35000 40000 45000 50000 55000 60000 "
                  "65000"},
        ScaleCase{103, 877, 9, 103, 877, 100, "200 300 400 500 600 700 800"},
        ScaleCase{-1, 1, 12, -1, 1, 0.2, "-1.0 -0.8 -0.6 -0.4 -0.2 0.0 0.2 0.4 0.6 0.8 1.0"},
        ScaleCase{0, 500, 26, 0, 500, 20,
                  "0 20 40 60 80 100 120 140 160 180 200 220 240 260 280 300 320 340 360 380 "
                  "400 420 440 460 480 500"},
        ScaleCase{45000, 65535, 5, 45000, 65535, 5000, "45000 50000 55000 60000 65000"},
        ScaleCase{7, 7, 5, 7, 7, 1, "7"}));

TEST(AxisScaleTest, RoundStepsAreOneTwoOrFiveTimesAPowerOfTen) {
  struct Case {
    double span;
    int intervals;
    double step;
  };
  for (const Case& c : std::vector<Case>{{56.3, 8, 10},
                                         {100, 10, 10},
                                         {101, 10, 20},
                                         {1000, 1, 1000},
                                         {0.3, 1, 0.5},
                                         {0.0007, 7, 0.0001},
                                         {65535, 3, 50000},
                                         {0, 5, 1},
                                         {-3, 5, 1},
                                         {kInf, 5, 1}}) {
    SCOPED_TRACE(c.span);
    EXPECT_DOUBLE_EQ(roundStep(c.span, c.intervals), c.step);
  }
}

TEST(AxisScaleTest, RangesThatAreNotFiniteGetNoLabels) {
  EXPECT_EQ(fixedScale(0, kInf, 5).count, 0);
  EXPECT_EQ(fixedScale(std::nan(""), 1, 5).count, 0);
  EXPECT_EQ(fittedScale(-kInf, 3, 5).count, 0);
}

TEST(AxisScaleTest, LabelsIgnoreTheLocaleAndHaveNoThousandsSeparator) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(tickLabel(65000, 5000), "65000");
  EXPECT_EQ(tickLabel(-1234567, 1000000), "-1234567");
  EXPECT_EQ(tickLabel(2.5, 0.5), "2.5");
  EXPECT_EQ(tickLabel(-1e-17, 0.2), "0.0") << "binary noise around zero is zero";
  EXPECT_EQ(labelFormat(10), "%.0f");
  EXPECT_EQ(labelFormat(0.05), "%.2f");
  EXPECT_EQ(QString::asprintf(labelFormat(0.5).toLatin1().constData(), 12345.5), "12345.5");
  QLocale::setDefault(before);
}

TEST(AxisScaleTest, DecimalsFollowTheStep) {
  struct Case {
    double step;
    int decimals;
  };
  for (const Case& c : std::vector<Case>{
           {5000, 0}, {1, 0}, {0.5, 1}, {0.2, 1}, {0.1, 1}, {0.05, 2}, {0.00005, 5}, {1e-30, 15}}) {
    SCOPED_TRACE(c.step);
    EXPECT_EQ(labelDecimals(c.step), c.decimals);
  }
}

}  // namespace
}  // namespace kelvaro::axes
