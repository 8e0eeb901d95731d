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
#include "app/GamingKeysPage.h"
#include "app/KeysPanel.h"
#include "widgets/RadioGroup.h"

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
    EXPECT_EQ(find<ui::RadioGroup>(*h.window, "RadioGroup1").itemIndex(), c.item);
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
    TForm1& w = *h.window;
    w.showPage(w.TabSheetSpecSetting, specShown);
    w.PageControl1->setCurrentWidget(w.TabSheet1);
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
  TForm1& w = *h.window;
  w.show();
  w.PageControl1->setCurrentWidget(w.TabSheet1);
  auto& active = find<QCheckBox>(w, "CheckBoxKeyActive");
  active.setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return active.hasFocus(); }, 1000));
  const int before = w.console().count();
  QTest::keyClick(&active, Qt::Key_A);
  QTest::keyClick(&active, Qt::Key_Shift);
  const QStringList lines = w.console().lines().mid(before);
  EXPECT_EQ(lines, (QStringList{"Down", "Press", "Up", "Down", "Up"}));

  active.click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return find<QSpinBox>(w, "SpinEditFoc").hasFocus(); }, 1000));
}

}  // namespace
}  // namespace kelvaro
