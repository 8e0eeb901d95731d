#include <QImage>
#include <QProgressBar>

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "widgets/GaugeBar.h"

namespace kelvaro {
namespace {

QImage picture(QWidget& bar) { return bar.grab().toImage().convertToFormat(QImage::Format_ARGB32); }

// The largest difference of a colour channel between two pictures of one size.
int largestDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 256;
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))});
    }
  }
  return largest;
}

// Both bars set up alike, then changed alike, step by step; at every step the kept picture must
// be the one the plain progress bar paints.
TEST(GaugeBar, LooksLikeAProgressBarWhateverChanges) {
  GaugeBar gauge;
  QProgressBar plain;
  for (QProgressBar* bar : {static_cast<QProgressBar*>(&gauge), &plain}) {
    bar->setRange(0, 100);
    bar->setTextVisible(true);
    bar->setFormat(QStringLiteral("%p%"));
    bar->resize(150, 24);
  }
  const struct {
    const char* what;
    std::function<void(QProgressBar&)> change;
  } steps[] = {
      {"a value", [](QProgressBar& b) { b.setValue(89); }},
      {"the next value", [](QProgressBar& b) { b.setValue(90); }},
      {"back to a kept value", [](QProgressBar& b) { b.setValue(89); }},
      {"greyed", [](QProgressBar& b) { b.setEnabled(false); }},
      {"another text", [](QProgressBar& b) { b.setFormat(QStringLiteral("---")); }},
      {"current again",
       [](QProgressBar& b) {
         b.setEnabled(true);
         b.setFormat(QStringLiteral("%p%"));
       }},
      {"wider", [](QProgressBar& b) { b.resize(220, 24); }},
      {"full", [](QProgressBar& b) { b.setValue(100); }},
  };
  for (const auto& step : steps) {
    step.change(gauge);
    step.change(plain);
    // A picture kept with its transparency rounds a blended edge by a level at most; a stale
    // picture differs by far more where the chunk ends or the text stands.
    EXPECT_LE(largestDifference(picture(gauge), picture(plain)), 2) << step.what;
  }
}

TEST(GaugeBar, AFlickeringReadingIsDrawnByTheStyleOncePerValue) {
  GaugeBar gauge;
  gauge.setRange(0, 100);
  gauge.resize(150, 24);
  for (int i = 0; i < 20; ++i) {
    gauge.setValue(i % 2 == 0 ? 89 : 90);
    picture(gauge);
  }
  EXPECT_EQ(gauge.styleDraws(), 2);
  // Five values in turn outgrow the kept pictures: each is drawn again.
  for (int round = 0; round < 2; ++round) {
    for (int v = 50; v < 55; ++v) {
      gauge.setValue(v);
      picture(gauge);
    }
  }
  EXPECT_EQ(gauge.styleDraws(), 2 + 10);
}

}  // namespace
}  // namespace kelvaro
