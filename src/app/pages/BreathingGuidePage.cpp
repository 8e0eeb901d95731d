#include "app/pages/BreathingGuidePage.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/Widgets.h"
#include "guide/GuidePacer.h"
#include "widgets/GuideWave.h"

namespace kelvaro {
namespace {

QFont sized(const QWidget* w, double factor, bool bold = true) {
  QFont font = w->font();
  font.setPointSizeF(font.pointSizeF() * factor);
  font.setBold(bold);
  return font;
}

// A caption and its field, the caption the field's buddy and its accessible name.
template <class Spin>
Spin* field(QWidget* parent, QGridLayout* grid, int row, QLabel*& label, const char* labelName,
            const char* spinName, const QString& caption) {
  label = named(new QLabel(caption, parent), labelName);
  auto* spin = named(new Spin(parent), spinName, caption);
  label->setBuddy(spin);
  grid->addWidget(label, row, 0);
  grid->addWidget(spin, row, 1);
  return spin;
}

QLabel* readout(QWidget* parent, const char* name, const QLabel* caption, double size) {
  auto* value = named(new QLabel(QStringLiteral("---"), parent), name, caption->text());
  value->setFont(sized(value, size));
  value->setAlignment(Qt::AlignCenter);
  return value;
}

}  // namespace

BreathingGuidePage::BreathingGuidePage(QWidget* parent) : QWidget(parent) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(6, 6, 6, 6);
  row->setSpacing(10);
  auto* left = new QVBoxLayout;
  left->addWidget(buildFields());
  left->addWidget(buildHistory(), 1);
  row->addLayout(left);
  row->addWidget(buildGuide(), 1);

  setTabOrder(paceSpin, inShareSpin);
  setTabOrder(inShareSpin, holdInSpin);
  setTabOrder(holdInSpin, holdOutSpin);
  setTabOrder(holdOutSpin, lengthSpin);
  setTabOrder(lengthSpin, soundCheck);
  setTabOrder(soundCheck, startButton);
  setTabOrder(startButton, stopButton);
  setTabOrder(stopButton, historyTable);
}

QWidget* BreathingGuidePage::buildFields() {
  auto* box = named(new QGroupBox(tr("Exercise"), this), "GroupGuide");
  auto* grid = new QGridLayout(box);
  grid->setVerticalSpacing(6);
  paceSpin = field<QDoubleSpinBox>(box, grid, 0, paceLabel, "LabelPace", "SpinEditPace",
                                   QStringLiteral("Pace"));
  paceSpin->setRange(guide::kMinPace, guide::kMaxPace);
  paceSpin->setSingleStep(guide::kPaceStep);
  paceSpin->setDecimals(1);
  paceSpin->setSuffix(QStringLiteral(" breaths/min"));
  paceSpin->setValue(guide::kDefaultPace);
  inShareSpin = field<QSpinBox>(box, grid, 1, inShareLabel, "LabelInShare", "SpinEditInShare",
                                QStringLiteral("Breathing in"));
  inShareSpin->setRange(guide::kMinInShare, guide::kMaxInShare);
  inShareSpin->setSuffix(QStringLiteral(" %"));
  inShareSpin->setValue(guide::kDefaultInShare);
  holdInSpin = field<QDoubleSpinBox>(box, grid, 2, holdInLabel, "LabelHoldIn", "SpinEditHoldIn",
                                     QStringLiteral("Hold after breathing in"));
  holdOutSpin = field<QDoubleSpinBox>(box, grid, 3, holdOutLabel, "LabelHoldOut", "SpinEditHoldOut",
                                      QStringLiteral("Hold after breathing out"));
  for (QDoubleSpinBox* hold : {holdInSpin, holdOutSpin}) {
    hold->setRange(0.0, guide::kMaxHoldSeconds);
    hold->setSingleStep(guide::kHoldStep);
    hold->setDecimals(1);
    hold->setSuffix(QStringLiteral(" s"));
  }
  lengthSpin = field<QSpinBox>(box, grid, 4, lengthLabel, "LabelGuideLength", "SpinEditGuideLength",
                               QStringLiteral("Length"));
  lengthSpin->setRange(guide::kMinMinutes, guide::kMaxMinutes);
  lengthSpin->setSuffix(QStringLiteral(" min"));
  lengthSpin->setValue(guide::kDefaultMinutes);
  soundCheck = named(new QCheckBox(QStringLiteral("Sound cues"), box), "CheckBoxGuideSound");
  grid->addWidget(soundCheck, 5, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  startButton = button(box, "ButtonStartGuide", QStringLiteral("Start"), QSize(110, 36));
  stopButton = button(box, "ButtonStopGuide", QStringLiteral("Stop"), QSize(110, 36));
  stopButton->setEnabled(false);
  buttons->addWidget(startButton);
  buttons->addWidget(stopButton);
  grid->addLayout(buttons, 6, 0, 1, 2);
  return box;
}

QWidget* BreathingGuidePage::buildGuide() {
  auto* panel = new QWidget(this);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(0, 0, 0, 0);

  auto* top = new QHBoxLayout;
  shape = named(new BreathShape(panel), "ShapeGuide", QStringLiteral("Breathing shape"));
  top->addWidget(shape, 1);
  auto* middle = new QVBoxLayout;
  phaseLabel = named(new QLabel(QString(), panel), "LabelGuidePhase");
  phaseLabel->setFont(sized(phaseLabel, 3.0));
  phaseLabel->setAlignment(Qt::AlignCenter);
  phaseLabel->setMinimumWidth(
      QFontMetrics(phaseLabel->font()).horizontalAdvance(QStringLiteral("Breathe out  ")));
  timeLabel = named(new QLabel(QString(), panel), "LabelGuideTime");
  timeLabel->setAlignment(Qt::AlignCenter);
  middle->addStretch(1);
  middle->addWidget(phaseLabel);
  middle->addWidget(timeLabel);
  middle->addStretch(1);
  top->addLayout(middle, 1);

  auto* values = new QGridLayout;
  followingCaption = named(new QLabel(QStringLiteral("Following"), panel), "LabelFollowingCaption");
  followingReadout = readout(panel, "LabelFollowing", followingCaption, 2.4);
  rateCaption = named(new QLabel(QStringLiteral("Breaths/min"), panel), "LabelGuideRateCaption");
  rateReadout = readout(panel, "LabelGuideRate", rateCaption, 1.8);
  targetCaption = named(new QLabel(QStringLiteral("Target"), panel), "LabelGuideTargetCaption");
  targetReadout = readout(panel, "LabelGuideTarget", targetCaption, 1.8);
  for (QLabel* caption : {followingCaption, rateCaption, targetCaption}) {
    caption->setAlignment(Qt::AlignCenter);
  }
  values->addWidget(followingCaption, 0, 0, 1, 2);
  values->addWidget(followingReadout, 1, 0, 1, 2);
  values->addWidget(rateCaption, 2, 0);
  values->addWidget(targetCaption, 2, 1);
  values->addWidget(rateReadout, 3, 0);
  values->addWidget(targetReadout, 3, 1);
  auto* valuesColumn = new QVBoxLayout;
  valuesColumn->addStretch(1);
  valuesColumn->addLayout(values);
  valuesColumn->addStretch(1);
  top->addLayout(valuesColumn);
  column->addLayout(top, 2);

  wave = named(new GuideWave(panel), "PaintBoxGuide", QStringLiteral("Target and breathing"));
  column->addWidget(wave, 2);
  summaryLabel = named(new QLabel(QString(), panel), "LabelGuideSummary");
  summaryLabel->setWordWrap(true);
  summaryLabel->setFont(sized(summaryLabel, 1.15, false));
  column->addWidget(summaryLabel);
  return panel;
}

QWidget* BreathingGuidePage::buildHistory() {
  auto* panel = new QWidget(this);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(0, 0, 0, 0);
  historyLabel = named(new QLabel(QStringLiteral("Exercises"), panel), "LabelGuideHistory");
  historyTable =
      named(new QTableWidget(0, 5, panel), "TableGuideHistory", QStringLiteral("Exercises"));
  historyLabel->setBuddy(historyTable);
  historyTable->setHorizontalHeaderLabels({QStringLiteral("Start"), QStringLiteral("Target"),
                                           QStringLiteral("Mean"), QStringLiteral("Score"),
                                           QStringLiteral("Longest")});
  historyTable->verticalHeader()->setVisible(false);
  historyTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  historyTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  historyTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  historyTable->horizontalHeader()->setStretchLastSection(true);
  // Wide enough for a line of five columns ("12:13 11.12.26", 6.0, 6.0, "41 % (+9)", 01:09)
  // without a scroll bar, in the window's font.
  const QFontMetrics metrics(historyTable->font());
  historyTable->setMinimumWidth(
      metrics.horizontalAdvance(QStringLiteral("00:00 00.00.00 Target Mean 100 % (+100) Longest")) +
      12 * metrics.averageCharWidth());
  trendLabel = named(new QLabel(QString(), panel), "LabelGuideTrend");
  trendLabel->setWordWrap(true);
  column->addWidget(historyLabel);
  column->addWidget(historyTable, 1);
  column->addWidget(trendLabel);
  return panel;
}

}  // namespace kelvaro
