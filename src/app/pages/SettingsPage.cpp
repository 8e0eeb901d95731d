#include "app/pages/SettingsPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

#include "app/Widgets.h"

namespace kelvaro {
namespace {

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption, bool checked) {
  auto* box = named(new QCheckBox(caption, parent), name);
  box->setChecked(checked);
  return box;
}

// The axis limits are plain integers without limits of their own; the chart refuses a
// maximum below its minimum.
QSpinBox* makeLimit(QWidget* parent, const char* name, const QString& accessible, int value) {
  auto* spin = named(new QSpinBox(parent), name, accessible);
  spin->setRange(INT_MIN, INT_MAX);
  spin->setValue(value);
  spin->setAlignment(Qt::AlignRight);
  spin->setMinimumWidth(130);
  return spin;
}

}  // namespace

SettingsPage::SettingsPage(QWidget* parent) : QWidget(parent) {
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(15, 18, 15, 15);
  page->setSpacing(16);

  auto* series = new QGroupBox(this);
  auto* seriesBox = new QVBoxLayout(series);
  seriesBox->setSpacing(10);
  force1SeriesCheck = makeCheck(series, "CheckBoxForce1", QStringLiteral("Force 1"), true);
  force2SeriesCheck = makeCheck(series, "CheckBoxForce2", QStringLiteral("Force 2"), false);
  accelXSeriesCheck =
      makeCheck(series, "CheckBoxAccX", QStringLiteral("Accelerometer x - axis"), false);
  accelYSeriesCheck =
      makeCheck(series, "CheckBoxAccY", QStringLiteral("Accelerometer y - axis"), false);
  accelZSeriesCheck =
      makeCheck(series, "CheckBoxAccZ", QStringLiteral("Accelerometer z - axis"), false);
  for (auto* box : {force1SeriesCheck, force2SeriesCheck, accelXSeriesCheck, accelYSeriesCheck,
                    accelZSeriesCheck}) {
    seriesBox->addWidget(box);
  }

  auto* scaling = new QGroupBox(this);
  auto* scalingGrid = new QGridLayout(scaling);
  scalingGrid->setHorizontalSpacing(16);
  scalingGrid->setVerticalSpacing(10);
  forceAutoscaleCheck =
      makeCheck(scaling, "CheckBoxAuto", QStringLiteral("Graph Autoscaling - Force"), false);
  accelAutoscaleCheck = makeCheck(scaling, "CheckBoxAutoAcel",
                                  QStringLiteral("Graph Autoscaling - Accelerometer"), false);
  scalingGrid->addWidget(forceAutoscaleCheck, 0, 0, 1, 3);
  scalingGrid->addWidget(accelAutoscaleCheck, 1, 0, 1, 3);
  scalingGrid->setRowMinimumHeight(2, 12);

  maximumLabel = named(new QLabel(QStringLiteral("Maximum"), scaling), "LabelMaximum");
  minimumLabel = named(new QLabel(QStringLiteral("Minimum"), scaling), "LabelMinimum");
  forceAxisLabel = named(new QLabel(QStringLiteral("Force y - axis"), scaling), "LabelForceAxis");
  accelAxisLabel =
      named(new QLabel(QStringLiteral("Accelerometer y -axis"), scaling), "LabelAccelAxis");
  forceAxisMaxSpin =
      makeLimit(scaling, "SpinEditMax", QStringLiteral("Force y - axis Maximum"), 65535);
  forceAxisMinSpin = makeLimit(scaling, "SpinEditMin", QStringLiteral("Force y - axis Minimum"), 0);
  accelAxisMaxSpin =
      makeLimit(scaling, "SpinEditMaxAcel", QStringLiteral("Accelerometer y -axis Maximum"), 65535);
  accelAxisMinSpin =
      makeLimit(scaling, "SpinEditMinAcel", QStringLiteral("Accelerometer y -axis Minimum"), 0);
  forceAxisLabel->setBuddy(forceAxisMaxSpin);
  accelAxisLabel->setBuddy(accelAxisMaxSpin);
  scalingGrid->addWidget(maximumLabel, 3, 1, Qt::AlignLeft | Qt::AlignBottom);
  scalingGrid->addWidget(minimumLabel, 3, 2, Qt::AlignLeft | Qt::AlignBottom);
  scalingGrid->addWidget(forceAxisLabel, 4, 0);
  scalingGrid->addWidget(forceAxisMaxSpin, 4, 1);
  scalingGrid->addWidget(forceAxisMinSpin, 4, 2);
  scalingGrid->addWidget(accelAxisLabel, 5, 0);
  scalingGrid->addWidget(accelAxisMaxSpin, 5, 1);
  scalingGrid->addWidget(accelAxisMinSpin, 5, 2);

  auto* groups = new QHBoxLayout;
  groups->setSpacing(20);
  groups->addWidget(series);
  groups->addWidget(scaling);
  groups->addStretch(1);
  page->addLayout(groups);

  confirmChangesButton =
      named(new QPushButton(QStringLiteral("Confirm Changes"), this), "Button18");
  confirmChangesButton->setMinimumSize(188, 45);
  auto* confirm = new QHBoxLayout;
  confirm->addWidget(confirmChangesButton);
  confirm->addStretch(1);
  page->addLayout(confirm);
  page->addStretch(1);

  setTabOrder(force1SeriesCheck, force2SeriesCheck);
  setTabOrder(force2SeriesCheck, accelXSeriesCheck);
  setTabOrder(accelXSeriesCheck, accelYSeriesCheck);
  setTabOrder(accelYSeriesCheck, accelZSeriesCheck);
  setTabOrder(accelZSeriesCheck, forceAutoscaleCheck);
  setTabOrder(forceAutoscaleCheck, accelAutoscaleCheck);
  setTabOrder(accelAutoscaleCheck, forceAxisMaxSpin);
  setTabOrder(forceAxisMaxSpin, forceAxisMinSpin);
  setTabOrder(forceAxisMinSpin, accelAxisMaxSpin);
  setTabOrder(accelAxisMaxSpin, accelAxisMinSpin);
  setTabOrder(accelAxisMinSpin, confirmChangesButton);
}

}  // namespace kelvaro
