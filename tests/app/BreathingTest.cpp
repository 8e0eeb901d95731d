// Breathing in the window: the rate on both pages, marks on the live chart, the apnea banner and
// its alarm, and nothing left showing once the belt is gone.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "app/panels/BreathingPanel.h"
#include "widgets/LiveChart.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

class BreathingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.startAnswered();
    w = h.window.get();
    banner = &find<QLabel>(*w, "LabelApneaBanner");
  }
  // One notification with force 1 from the raw reading raw1, 50 ms after the one before.
  void notification(int raw1) {
    QByteArray value = testing::bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F");
    value[4] = static_cast<char>(raw1 & 0xFF);
    value[5] = static_cast<char>(raw1 >> 8);
    h.port.inject(testing::notification(value));
    h.ticks.advance(50);
  }
  // Breathing at 15 a minute, 60 g deep with the default slope, for this many notifications;
  // whole breaths end breathed out.
  void breathe(int count) {
    for (int i = 0; i < count; ++i) {
      notification(1500 +
                   static_cast<int>(std::lround(60.0 * std::sin(2 * M_PI * (phase++) / 80.0))));
    }
  }
  void holdStill(int count) {
    for (int i = 0; i < count; ++i) notification(1440);
  }
  QString rate() const { return find<QLabel>(*w, "LabelRate").text(); }
  QString rateOnActivity() const { return find<QLabel>(*w, "LabelRateAct").text(); }

  WindowHarness h;
  MainWindow* w = nullptr;
  QLabel* banner = nullptr;
  int phase = 0;
};

TEST_F(BreathingTest, TheRateShowsOnBothPagesAndBreathsAreMarked) {
  EXPECT_EQ(rate(), QStringLiteral("---"));
  EXPECT_EQ(rateOnActivity(), QStringLiteral("---"));
  breathe(1260);
  EXPECT_EQ(rate(), QStringLiteral("15.0"));
  EXPECT_EQ(rateOnActivity(), QStringLiteral("15.0"));
  int marks = 0;
  for (int slot = 0; slot <= livegraph::kLastPoint; ++slot) {
    marks += w->pages().chart->model().breathMarked(slot);
  }
  EXPECT_GE(marks, 5) << "one a breath along the sweep";
  EXPECT_TRUE(banner->isHidden());
}

TEST_F(BreathingTest, NoBreathRaisesTheBannerAndTheAlarmUntilBreathingResumes) {
  find<QCheckBox>(*w, "CheckBoxSound").setChecked(true);
  find<QSpinBox>(*w, "SpinEditApnea").setValue(8);
  find<QSlider>(*w, "TrackBarAct").setValue(0);  // the activity alarm stays quiet
  breathe(1260);
  const auto sounds = h.sound.played.size();
  holdStill(240);  // 12 s
  EXPECT_FALSE(banner->isHidden());
  EXPECT_TRUE(banner->text().startsWith(QStringLiteral("No breath for ")))
      << banner->text().toStdString();
  const int seconds = banner->text().section(QLatin1Char(' '), 3, 3).toInt();
  // Counted from the last crest, 2 s before the belt went still.
  EXPECT_GE(seconds, 10);
  EXPECT_LE(seconds, 14);
  EXPECT_EQ(h.sound.played.size(), sounds + 1) << "the alarm sound, as ticked";
  EXPECT_EQ(rate(), QStringLiteral("---"));
  holdStill(40);
  EXPECT_EQ(banner->text(), BreathingPanel::bannerText((seconds + 2) * 1000))
      << "the count goes on";

  breathe(400);
  EXPECT_TRUE(banner->isHidden());
  EXPECT_EQ(h.sound.played.size(), sounds + 1);
}

TEST_F(BreathingTest, NothingShowsOnceTheBeltIsGone) {
  breathe(1260);
  holdStill(300);
  ASSERT_FALSE(banner->isHidden());
  find<QPushButton>(*w, "Button20").click();  // "Disconnect"
  EXPECT_TRUE(banner->isHidden());
  EXPECT_EQ(rate(), QStringLiteral("---"));
  EXPECT_EQ(rateOnActivity(), QStringLiteral("---"));
  EXPECT_EQ(w->core().breathing().breaths(), 0u);
}

TEST(BreathingPanelTest, Texts) {
  EXPECT_EQ(BreathingPanel::rateText(std::nullopt), QStringLiteral("---"));
  EXPECT_EQ(BreathingPanel::rateText(14.96), QStringLiteral("15.0"));
  EXPECT_EQ(BreathingPanel::rateText(6.25), QStringLiteral("6.3"));
  EXPECT_EQ(BreathingPanel::bannerText(12999), QStringLiteral("No breath for 12 s"));
}

}  // namespace
}  // namespace kelvaro
