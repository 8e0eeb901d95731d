#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>

#include <gtest/gtest.h>

#include "app/PageChecks.h"
#include "app/pages/GamingKeysPage.h"
#include "widgets/RadioGroup.h"
#include "widgets/ShapeIndicator.h"

namespace kelvaro {
namespace {

using namespace kelvaro::pagechecks;

TEST(GamingKeysPage, ControlsStartAsDesigned) {
  GamingKeysPage page;
  checkChecks(page, {{"CheckBoxKeyActive", "Key Activation On/Off", false, ""}});
  checkSpins(
      page,
      {{"SpinEditF1", 0, 250, 200}, {"SpinEditKeyF1", 0, 255, 255}, {"SpinEditFoc", 0, 500, 500}});
  checkLabels(page, {{"LabelTreshold", "Force Treshold Value", "SpinEditF1"},
                     {"LabelTrackTop", "250", nullptr},
                     {"LabelTrackBottom", "0", nullptr},
                     {"LabelIndicator", "Key Activation Indicator", nullptr}});
  // The threshold is shown, not edited; the force key is set only by the key selection.
  EXPECT_FALSE(page.forceThresholdSpin->isEnabled());
  EXPECT_FALSE(page.forceKeySpin->isEnabled());
  EXPECT_TRUE(page.forceKeySpin->isHidden());
  EXPECT_TRUE(page.focusSpin->isEnabled());
}

TEST(GamingKeysPage, KeySelectionListsTheTenKeysWithNoneChosen) {
  GamingKeysPage page;
  auto* keys = page.findChild<RadioGroup*>(QStringLiteral("RadioGroup1"));
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(keys->title(), QStringLiteral("Key Selection"));
  EXPECT_EQ(keys->accessibleName(), QStringLiteral("Key Selection"));
  const QStringList items = {"Space Bar ", "Arrow Up", "W",          "Enter ",     "A",
                             "S",          "D",        "Arrow Down", "Arrow Left", "Arrow Right "};
  EXPECT_EQ(keys->items(), items);
  EXPECT_EQ(GamingKeysPage::keySelectionItems(), items);
  EXPECT_EQ(keys->itemIndex(), -1);
}

TEST(GamingKeysPage, ThresholdSliderHasTheThresholdAtItsTop) {
  GamingKeysPage page;
  auto* slider = page.findChild<QSlider*>(QStringLiteral("TrackBar1"));
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->orientation(), Qt::Vertical);
  EXPECT_EQ(slider->minimum(), 0);
  EXPECT_EQ(slider->maximum(), 250);
  EXPECT_EQ(slider->tickInterval(), 10);
  EXPECT_NE(slider->tickPosition(), QSlider::NoTicks);
  // Position 50 is the default threshold 200.
  EXPECT_EQ(slider->value(), 50);
  EXPECT_FALSE(slider->accessibleName().isEmpty());

  // Position 0 sits at the top: the "Up" key moves towards it, raising the threshold.
  QTest::keyClick(slider, Qt::Key_Up);
  EXPECT_EQ(slider->value(), 49);
  QTest::keyClick(slider, Qt::Key_Down);
  EXPECT_EQ(slider->value(), 50);
  EXPECT_TRUE(slider->invertedAppearance());

  page.resize(1050, 700);
  page.show();
  QApplication::processEvents();
  const QRect track = placeOf(page, "TrackBar1");
  EXPECT_LT(placeOf(page, "LabelTrackTop").center().y(), track.top() + track.height() / 4);
  EXPECT_GT(placeOf(page, "LabelTrackBottom").center().y(), track.bottom() - track.height() / 4);
}

TEST(GamingKeysPage, ForceBarIsAVerticalOrangeBar) {
  GamingKeysPage page;
  auto* bar = page.findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->orientation(), Qt::Vertical);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 250);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_FALSE(bar->accessibleName().isEmpty());

  bar->setValue(250);
  bar->resize(30, 200);
  EXPECT_EQ(bar->palette().color(QPalette::Highlight), QColor(255, 128, 0));
  // The style shades the bar a little; what is drawn must still be orange.
  const QImage image = bar->grab().toImage();
  const QColor drawn = image.pixelColor(image.width() / 2, image.height() / 2);
  EXPECT_NEAR(drawn.hsvHue(), QColor(255, 128, 0).hsvHue(), 5);
  EXPECT_GT(drawn.hsvSaturation(), 200);
}

TEST(GamingKeysPage, IndicatorIsARedCircleNamedByItsLabel) {
  GamingKeysPage page;
  auto* lamp = page.findChild<ShapeIndicator*>(QStringLiteral("Shape2"));
  ASSERT_NE(lamp, nullptr);
  EXPECT_EQ(lamp->shape(), ShapeIndicator::Shape::Circle);
  EXPECT_EQ(lamp->color(), QColor(255, 0, 0));
  EXPECT_EQ(lamp->accessibleName(), QStringLiteral("Key Activation Indicator"));
}

TEST(GamingKeysPage, InstructionsAreReadOnlyBoldItalic) {
  GamingKeysPage page;
  auto* memo = page.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
  ASSERT_NE(memo, nullptr);
  const QStringList lines = {
      "Instructions",
      "",
      "1. Start your game in the internet browser or as an app",
      "",
      "2. Identify which object motion you want to trigger by ",
      "belt and find which keyboard key is responsible for the ",
      "motion",
      "",
      "3. On this screen select the desired game keyboard key ",
      "under \"Key Selection\" menu on the left",
      "",
      "4. While breathing normally observe your maximal ",
      "peaks on the right vertical orange bar.",
      "",
      "5. Set the Force Treshold Value (left vertical bar) on ",
      "this screen to be about 20% higher than maximal peaks ",
      "during normal breathing",
      "",
      "6. Turn on Key Activation on top left of this screen",
      "",
      "7. Test the activation with Key Activation Indicator. ",
      "Green Indicator means key is activated",
      "",
      "8. Adjust Force Treshold Value if needed",
      "",
      "9. Go to your game window and enjoy ! ",
  };
  EXPECT_EQ(memo->toPlainText().split(QLatin1Char('\n')), lines);
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_FALSE(memo->isEnabled());
  EXPECT_TRUE(memo->font().bold());
  EXPECT_TRUE(memo->font().italic());
  EXPECT_EQ(memo->accessibleName(), QStringLiteral("Instructions"));
}

TEST(GamingKeysPage, KeepsTheDesignArrangement) {
  GamingKeysPage page;
  page.resize(1050, 700);
  page.show();
  QApplication::processEvents();
  const QRect active = placeOf(page, "CheckBoxKeyActive");
  const QRect keys = placeOf(page, "RadioGroup1");
  const QRect slider = placeOf(page, "TrackBar1");
  const QRect bar = placeOf(page, "ProgressBar1");
  const QRect memo = placeOf(page, "Memo1");
  const QRect focus = placeOf(page, "SpinEditFoc");
  EXPECT_LT(active.bottom(), keys.top());
  EXPECT_LT(active.left(), 30);
  EXPECT_LT(keys.right(), slider.left());
  EXPECT_LT(slider.right(), bar.left());
  EXPECT_LT(bar.right(), memo.left());
  EXPECT_GT(bar.height(), page.height() / 2);
  EXPECT_LT(placeOf(page, "SpinEditF1").bottom(), slider.top());
  EXPECT_GT(placeOf(page, "Shape2").top(), bar.bottom());
  // The focus sink sits in the lower left corner.
  EXPECT_LT(focus.left(), 30);
  EXPECT_GT(focus.bottom(), page.height() - 40);
}

TEST(GamingKeysPage, TabReachesEveryEnabledControl) {
  GamingKeysPage page;
  const QStringList expected = {"CheckBoxKeyActive", "RadioGroup1", "TrackBar1", "SpinEditFoc"};
  expectTabOrder(page, page.keyActivationCheck, expected);
}

}  // namespace
}  // namespace kelvaro
