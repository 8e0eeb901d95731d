// The key activation's controls in the window: slider and threshold, the key selection and the
// tab rule, the focus sink and the check box's console lines.
#include <QCheckBox>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "app/pages/GamingKeysPage.h"
#include "app/panels/KeysPanel.h"
#include "widgets/RadioGroup.h"
#include "widgets/ShapeIndicator.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

TEST(KeysPanelTest, TheSliderSetsTheThresholdFromTheTop) {
  WindowHarness h;
  h.startAnswered();
  auto& slider = find<QSlider>(*h.window, "TrackBar1");
  auto& threshold = find<QSpinBox>(*h.window, "SpinEditF1");
  EXPECT_EQ(threshold.value(), 200) << "the stored default";
  EXPECT_EQ(slider.value(), 50);
  for (const auto& [position, expected] : {std::pair{0, 250}, {250, 0}, {130, 120}}) {
    slider.setValue(position);
    EXPECT_EQ(threshold.value(), expected) << position;
  }
}

TEST(KeysPanelTest, TheSelectionSetsTheForceKeyAndTheStoredIndexIsLimited) {
  const struct {
    const char* stored;
    int item;
    int key;
  } cases[] = {{"", 9, 39},  {"38", 9, 39},   {"10", 9, 39},  {"0", 0, 32},
               {"3", 3, 13}, {"-1", -1, 255}, {"-5", -1, 255}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    WindowHarness h;
    if (*c.stored) h.writeDarev(QByteArray("[Keys]\nKODF1=") + c.stored + "\n");
    h.startAnswered();
    EXPECT_EQ(find<RadioGroup>(*h.window, "RadioGroup1").itemIndex(), c.item);
    EXPECT_EQ(find<QSpinBox>(*h.window, "SpinEditKeyF1").value(), c.key);
  }
}

// At tab 3 among the visible ones a new key selection switches the activation off; elsewhere
// it leaves it alone.
TEST(KeysPanelTest, ANewKeyAtTheFourthVisibleTabSwitchesTheActivationOff) {
  for (const bool specShown : {false, true}) {
    SCOPED_TRACE(specShown);
    WindowHarness h;
    h.startAnswered();
    MainWindow& w = *h.window;
    w.showPage(w.pages().specSetting, specShown);
    w.pages().tabs->setCurrentWidget(w.pages().gamingKeys);
    auto& active = find<QCheckBox>(w, "CheckBoxKeyActive");
    active.setChecked(true);
    EXPECT_TRUE(w.core().keys().active());
    find<QRadioButton>(w, "RadioGroup1_item2").click();
    EXPECT_EQ(find<QSpinBox>(w, "SpinEditKeyF1").value(), 87);
    EXPECT_EQ(active.isChecked(), !specShown);
    EXPECT_EQ(w.core().keys().active(), !specShown);
  }
}

TEST(KeysPanelTest, KeysOnTheCheckBoxLeaveConsoleLinesAndAClickSendsTheFocusToTheSink) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  w.show();
  w.pages().tabs->setCurrentWidget(w.pages().gamingKeys);
  auto& active = find<QCheckBox>(w, "CheckBoxKeyActive");
  active.setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return active.hasFocus(); }, 1000));
  const int before = w.core().console().count();
  QTest::keyClick(&active, Qt::Key_A);
  QTest::keyClick(&active, Qt::Key_Shift);
  const QStringList lines = w.core().console().lines().mid(before);
  EXPECT_EQ(lines, (QStringList{"Down", "Press", "Up", "Down", "Up"}));

  active.click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return find<QSpinBox>(w, "SpinEditFoc").hasFocus(); }, 1000));
}

}  // namespace
}  // namespace kelvaro

namespace kelvaro {
namespace {

using testing::bytes;
using testing::notification;

// Force 1 at `raw1` counts: with the default calibration (1000 counts is 0 g, half a gram a
// count) 1600 is 300 g, above the default threshold of 200; 1000 is 0 g.
QByteArray force(int raw1) {
  QByteArray v = bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F");
  v[4] = char(raw1 & 0xFF);
  v[5] = char(raw1 >> 8);
  return notification(v);
}

class KeyReleaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.writeDarev("[GLOBAL]\nOfs1=1000\n[Keys]\nKODF1=9\nLIMF1=200\n");
    h.startAnswered();
    find<QCheckBox>(*h.window, "CheckBoxKeyActive").setChecked(true);
    h.port.inject(force(1600));
    ASSERT_EQ(h.keys.events, QStringList{"down 39"});
    EXPECT_EQ(h.window->pages().gamingKeys->keysIndicator->color(), QColor(0, 255, 0));
  }
  WindowHarness h;
};

// The triggers work before anything is charted: the first notifications press already.
TEST_F(KeyReleaseTest, BreathingPressesAndReleasesOncePerCrossing) {
  h.port.inject(force(1700));
  h.port.inject(force(1400));  // exactly 200 g: the state holds
  h.port.inject(force(1000));
  h.port.inject(force(1000));
  EXPECT_EQ(h.keys.events, (QStringList{"down 39", "up 39"}));
  EXPECT_EQ(h.window->pages().gamingKeys->keysIndicator->color(), QColor(255, 0, 0));
}

TEST_F(KeyReleaseTest, SwitchingOffReleasesTheHeldKey) {
  find<QCheckBox>(*h.window, "CheckBoxKeyActive").setChecked(false);
  EXPECT_EQ(h.keys.events, (QStringList{"down 39", "up 39"}));
  h.port.inject(force(1000));
  h.port.inject(force(1700));
  EXPECT_EQ(h.keys.events.size(), 2) << "nothing while off; the indicators still follow";
  EXPECT_EQ(h.window->pages().gamingKeys->keysIndicator->color(), QColor(0, 255, 0));
}

TEST_F(KeyReleaseTest, ANewKeyWhileHeldReleasesTheOldOne) {
  find<QRadioButton>(*h.window, "RadioGroup1_item0").click();
  h.port.inject(force(1700));
  EXPECT_EQ(h.keys.events, (QStringList{"down 39", "up 39", "down 32"}));
}

TEST_F(KeyReleaseTest, ClosingTheWindowReleasesTheHeldKey) {
  ASSERT_TRUE(h.window->close());
  EXPECT_EQ(h.keys.events, (QStringList{"down 39", "up 39"}));
}

}  // namespace
}  // namespace kelvaro
