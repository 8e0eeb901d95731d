#include "app/GamingKeysPage.h"

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
#include "widgets/RadioGroup.h"
#include "widgets/ShapeIndicator.h"

namespace kelvaro::ui {
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
  CheckBoxKeyActive =
      named(new QCheckBox(QStringLiteral("Key Activation On/Off"), this), "CheckBoxKeyActive");
  left->addWidget(CheckBoxKeyActive);
  RadioGroup1 = named(new RadioGroup(QStringLiteral("Key Selection"), this), "RadioGroup1",
                      QStringLiteral("Key Selection"));
  RadioGroup1->setItems(keySelectionItems());
  RadioGroup1->setMinimumWidth(200);
  left->addWidget(RadioGroup1);
  left->addStretch(1);
  // Takes the keyboard focus away from the other controls, so that keys the belt presses
  // change nothing on this page.
  SpinEditFoc = named(new QSpinBox(this), "SpinEditFoc", tr("Focus"));
  SpinEditFoc->setRange(0, 500);
  SpinEditFoc->setValue(500);
  SpinEditFoc->setButtonSymbols(QAbstractSpinBox::NoButtons);
  SpinEditFoc->setFixedWidth(
      QFontMetrics(SpinEditFoc->font()).horizontalAdvance(QStringLiteral("0000")) + 16);
  left->addWidget(SpinEditFoc, 0, Qt::AlignLeft);
  layout->addLayout(left);

  layout->addWidget(buildThresholdColumn());

  Memo1 = named(new QPlainTextEdit(instructionLines().join(QLatin1Char('\n')), this), "Memo1",
                QStringLiteral("Instructions"));
  QFont emphasis;
  emphasis.setBold(true);
  emphasis.setItalic(true);
  Memo1->setFont(emphasis);
  Memo1->setReadOnly(true);
  Memo1->setEnabled(false);
  keepReadableWhenDisabled(Memo1);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setMinimumWidth(QFontMetrics(emphasis).horizontalAdvance(instructionLines()[4]) + 40);
  layout->addWidget(Memo1, 1);

  setTabOrder(CheckBoxKeyActive, RadioGroup1);
  setTabOrder(RadioGroup1, TrackBar1);
  setTabOrder(TrackBar1, SpinEditFoc);
}

QWidget* GamingKeysPage::buildThresholdColumn() {
  auto* column = new QWidget(this);
  auto* grid = new QGridLayout(column);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(14);
  grid->setVerticalSpacing(6);

  SpinEditF1 = named(new QSpinBox(column), "SpinEditF1", QStringLiteral("Force Treshold Value"));
  SpinEditF1->setRange(0, kForceRange);
  SpinEditF1->setValue(200);
  SpinEditF1->setEnabled(false);
  SpinEditF1->setButtonSymbols(QAbstractSpinBox::NoButtons);
  keepReadableWhenDisabled(SpinEditF1);
  SpinEditF1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // Hidden holder of the force key's code; only the key selection sets it.
  SpinEditKeyF1 = named(new QSpinBox(column), "SpinEditKeyF1", tr("Force key code"));
  SpinEditKeyF1->setRange(0, 255);
  SpinEditKeyF1->setValue(255);
  SpinEditKeyF1->setEnabled(false);
  SpinEditKeyF1->setVisible(false);
  LabelTreshold =
      named(new QLabel(QStringLiteral("Force Treshold Value"), column), "LabelTreshold");
  LabelTreshold->setBuddy(SpinEditF1);
  grid->addWidget(LabelTreshold, 0, 0, 1, 3);
  grid->addWidget(SpinEditF1, 1, 0, 1, 2);

  TrackBar1 = named(new QSlider(Qt::Vertical, column), "TrackBar1", tr("Force threshold"));
  TrackBar1->setRange(0, kForceRange);
  TrackBar1->setTickInterval(10);
  TrackBar1->setTickPosition(QSlider::TicksBothSides);
  TrackBar1->setPageStep(10);
  TrackBar1->setInvertedAppearance(true);
  TrackBar1->setInvertedControls(true);
  TrackBar1->setValue(kForceRange - SpinEditF1->value());
  LabelTrackTop = named(new QLabel(QStringLiteral("250"), column), "LabelTrackTop");
  LabelTrackBottom = named(new QLabel(QStringLiteral("0"), column), "LabelTrackBottom");
  LabelTrackTop->setAlignment(Qt::AlignRight | Qt::AlignTop);
  LabelTrackBottom->setAlignment(Qt::AlignRight | Qt::AlignBottom);
  grid->addWidget(LabelTrackTop, 2, 0);
  grid->addWidget(LabelTrackBottom, 3, 0);
  grid->addWidget(TrackBar1, 2, 1, 2, 1);

  ProgressBar1 = named(new QProgressBar(column), "ProgressBar1", tr("Force"));
  ProgressBar1->setOrientation(Qt::Vertical);
  ProgressBar1->setRange(0, kForceRange);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setMinimumWidth(28);
  QPalette bar = ProgressBar1->palette();
  bar.setColor(QPalette::Highlight, kForceBarColor);
  ProgressBar1->setPalette(bar);
  grid->addWidget(ProgressBar1, 2, 2, 2, 1);
  grid->setRowStretch(2, 1);
  grid->setRowStretch(3, 1);

  LabelIndicator =
      named(new QLabel(QStringLiteral("Key Activation Indicator"), column), "LabelIndicator");
  Shape2 = named(new ShapeIndicator(ShapeIndicator::Shape::Circle, column), "Shape2",
                 LabelIndicator->text());
  Shape2->setFixedSize(48, 48);
  grid->addWidget(Shape2, 4, 0, 1, 3, Qt::AlignHCenter);
  grid->addWidget(LabelIndicator, 5, 0, 1, 3, Qt::AlignHCenter);
  return column;
}

}  // namespace kelvaro::ui
