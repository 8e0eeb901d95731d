#include "app/pages/GamingKeysPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/Widgets.h"
#include "widgets/GaugeBar.h"
#include "widgets/RadioGroup.h"
#include "widgets/ShapeIndicator.h"

namespace kelvaro {
namespace {

constexpr int kForceRange = 250;
const QColor kForceBarColor(255, 128, 0);

// Memo1 and SpinEditF1 are disabled so that they never take the focus, but they are there to be
// read: their text keeps the normal colours.
void keepReadableWhenDisabled(QWidget* widget) {
  QPalette palette = widget->palette();
  for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::Base}) {
    palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
  }
  widget->setPalette(palette);
}

}  // namespace

QStringList GamingKeysPage::keySelectionItems() {
  return {QStringLiteral("Space Bar "),  QStringLiteral("Arrow Up"),   QStringLiteral("W"),
          QStringLiteral("Enter "),      QStringLiteral("A"),          QStringLiteral("S"),
          QStringLiteral("D"),           QStringLiteral("Arrow Down"), QStringLiteral("Arrow Left"),
          QStringLiteral("Arrow Right ")};
}

QStringList GamingKeysPage::instructionLines() {
  return {
      QStringLiteral("Instructions"),
      QString(),
      QStringLiteral("1. Start your game in the internet browser or as an app"),
      QString(),
      QStringLiteral("2. Identify which object motion you want to trigger by "),
      QStringLiteral("belt and find which keyboard key is responsible for the "),
      QStringLiteral("motion"),
      QString(),
      QStringLiteral("3. On this screen select the desired game keyboard key "),
      QStringLiteral("under \"Key Selection\" menu on the left"),
      QString(),
      QStringLiteral("4. While breathing normally observe your maximal "),
      QStringLiteral("peaks on the right vertical orange bar."),
      QString(),
      QStringLiteral("5. Set the Force Treshold Value (left vertical bar) on "),
      QStringLiteral("this screen to be about 20% higher than maximal peaks "),
      QStringLiteral("during normal breathing"),
      QString(),
      QStringLiteral("6. Turn on Key Activation on top left of this screen"),
      QString(),
      QStringLiteral("7. Test the activation with Key Activation Indicator. "),
      QStringLiteral("Green Indicator means key is activated"),
      QString(),
      QStringLiteral("8. Adjust Force Treshold Value if needed"),
      QString(),
      QStringLiteral("9. Go to your game window and enjoy ! "),
  };
}

GamingKeysPage::GamingKeysPage(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(15, 12, 15, 12);
  layout->setSpacing(30);

  auto* left = new QVBoxLayout;
  left->setSpacing(14);
  keyActivationCheck =
      named(new QCheckBox(QStringLiteral("Key Activation On/Off"), this), "CheckBoxKeyActive");
  left->addWidget(keyActivationCheck);
  keySelection = named(new RadioGroup(QStringLiteral("Key Selection"), this), "RadioGroup1",
                       QStringLiteral("Key Selection"));
  keySelection->setItems(keySelectionItems());
  keySelection->setMinimumWidth(200);
  left->addWidget(keySelection);
  left->addStretch(1);
  // Takes the keyboard focus away from the other controls, so that keys the belt presses
  // change nothing on this page.
  focusSpin = named(new QSpinBox(this), "SpinEditFoc", tr("Focus"));
  focusSpin->setRange(0, 500);
  focusSpin->setValue(500);
  focusSpin->setButtonSymbols(QAbstractSpinBox::NoButtons);
  focusSpin->setFixedWidth(
      QFontMetrics(focusSpin->font()).horizontalAdvance(QStringLiteral("0000")) + 16);
  left->addWidget(focusSpin, 0, Qt::AlignLeft);
  layout->addLayout(left);

  layout->addWidget(buildThresholdColumn());

  instructions = named(new QPlainTextEdit(instructionLines().join(QLatin1Char('\n')), this),
                       "Memo1", QStringLiteral("Instructions"));
  QFont emphasis;
  emphasis.setBold(true);
  emphasis.setItalic(true);
  instructions->setFont(emphasis);
  instructions->setReadOnly(true);
  instructions->setEnabled(false);
  keepReadableWhenDisabled(instructions);
  instructions->setLineWrapMode(QPlainTextEdit::NoWrap);
  instructions->setMinimumWidth(QFontMetrics(emphasis).horizontalAdvance(instructionLines()[4]) +
                                40);
  layout->addWidget(instructions, 1);

  setTabOrder(keyActivationCheck, keySelection);
  setTabOrder(keySelection, thresholdSlider);
  setTabOrder(thresholdSlider, focusSpin);
}

QWidget* GamingKeysPage::buildThresholdColumn() {
  auto* column = new QWidget(this);
  auto* grid = new QGridLayout(column);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(6);

  forceThresholdSpin =
      named(new QSpinBox(column), "SpinEditF1", QStringLiteral("Force Treshold Value"));
  forceThresholdSpin->setRange(0, kForceRange);
  forceThresholdSpin->setValue(200);
  forceThresholdSpin->setEnabled(false);
  forceThresholdSpin->setButtonSymbols(QAbstractSpinBox::NoButtons);
  keepReadableWhenDisabled(forceThresholdSpin);
  forceThresholdSpin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Hidden holder of the force key's code; only the key selection sets it.
  forceKeySpin = named(new QSpinBox(column), "SpinEditKeyF1", tr("Force key code"));
  forceKeySpin->setRange(0, 255);
  forceKeySpin->setValue(255);
  forceKeySpin->setEnabled(false);
  forceKeySpin->setVisible(false);
  thresholdLabel =
      named(new QLabel(QStringLiteral("Force Treshold Value"), column), "LabelTreshold");
  thresholdLabel->setBuddy(forceThresholdSpin);
  grid->addWidget(thresholdLabel, 0, 0, 1, 3);
  grid->addWidget(forceThresholdSpin, 1, 0, 1, 2);

  thresholdSlider = named(new QSlider(Qt::Vertical, column), "TrackBar1", tr("Force threshold"));
  thresholdSlider->setRange(0, kForceRange);
  thresholdSlider->setTickInterval(10);
  thresholdSlider->setTickPosition(QSlider::TicksBothSides);
  thresholdSlider->setPageStep(10);
  thresholdSlider->setInvertedAppearance(true);
  thresholdSlider->setInvertedControls(true);
  thresholdSlider->setValue(kForceRange - forceThresholdSpin->value());
  thresholdTopLabel = named(new QLabel(QStringLiteral("250"), column), "LabelTrackTop");
  thresholdBottomLabel = named(new QLabel(QStringLiteral("0"), column), "LabelTrackBottom");
  thresholdTopLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
  thresholdBottomLabel->setAlignment(Qt::AlignRight | Qt::AlignBottom);
  grid->addWidget(thresholdTopLabel, 2, 0);
  grid->addWidget(thresholdBottomLabel, 3, 0);
  grid->addWidget(thresholdSlider, 2, 1, 2, 1);

  forceBar = named(new GaugeBar(column), "ProgressBar1", tr("Force"));
  forceBar->setOrientation(Qt::Vertical);
  forceBar->setRange(0, kForceRange);
  forceBar->setValue(0);
  forceBar->setTextVisible(false);
  forceBar->setMinimumWidth(28);
  QPalette bar = forceBar->palette();
  bar.setColor(QPalette::Highlight, kForceBarColor);
  forceBar->setPalette(bar);
  grid->addWidget(forceBar, 2, 2, 2, 1);
  grid->setRowStretch(2, 1);
  grid->setRowStretch(3, 1);

  indicatorLabel =
      named(new QLabel(QStringLiteral("Key Activation Indicator"), column), "LabelIndicator");
  keysIndicator = named(new ShapeIndicator(ShapeIndicator::Shape::Circle, column), "Shape2",
                        indicatorLabel->text());
  keysIndicator->setFixedSize(48, 48);
  grid->addWidget(keysIndicator, 4, 0, 1, 3, Qt::AlignHCenter);
  grid->addWidget(indicatorLabel, 5, 0, 1, 3, Qt::AlignHCenter);
  return column;
}

}  // namespace kelvaro
