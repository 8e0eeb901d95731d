#include "app/SettingsPage.h"

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

namespace kelvaro::ui {
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
  CheckBoxForce1 = makeCheck(series, "CheckBoxForce1", QStringLiteral("Force 1"), true);
  CheckBoxForce2 = makeCheck(series, "CheckBoxForce2", QStringLiteral("Force 2"), false);
  CheckBoxAccX = makeCheck(series, "CheckBoxAccX", QStringLiteral("Accelerometer x - axis"), false);
  CheckBoxAccY = makeCheck(series, "CheckBoxAccY", QStringLiteral("Accelerometer y - axis"), false);
  CheckBoxAccZ = makeCheck(series, "CheckBoxAccZ", QStringLiteral("Accelerometer z - axis"), false);
  for (auto* box : {CheckBoxForce1, CheckBoxForce2, CheckBoxAccX, CheckBoxAccY, CheckBoxAccZ}) {
    seriesBox->addWidget(box);
  }

  auto* scaling = new QGroupBox(this);
  auto* scalingGrid = new QGridLayout(scaling);
  scalingGrid->setHorizontalSpacing(16);
  scalingGrid->setVerticalSpacing(10);
  CheckBoxAuto =
      makeCheck(scaling, "CheckBoxAuto", QStringLiteral("Graph Autoscaling - Force"), false);
  CheckBoxAutoAcel = makeCheck(scaling, "CheckBoxAutoAcel",
                               QStringLiteral("Graph Autoscaling - Accelerometer"), false);
  scalingGrid->addWidget(CheckBoxAuto, 0, 0, 1, 3);
  scalingGrid->addWidget(CheckBoxAutoAcel, 1, 0, 1, 3);
  scalingGrid->setRowMinimumHeight(2, 12);

  LabelMaximum = named(new QLabel(QStringLiteral("Maximum"), scaling), "LabelMaximum");
  LabelMinimum = named(new QLabel(QStringLiteral("Minimum"), scaling), "LabelMinimum");
  LabelForceAxis = named(new QLabel(QStringLiteral("Force y - axis"), scaling), "LabelForceAxis");
  LabelAccelAxis =
      named(new QLabel(QStringLiteral("Accelerometer y -axis"), scaling), "LabelAccelAxis");
  SpinEditMax = makeLimit(scaling, "SpinEditMax", QStringLiteral("Force y - axis Maximum"), 65535);
  SpinEditMin = makeLimit(scaling, "SpinEditMin", QStringLiteral("Force y - axis Minimum"), 0);
  SpinEditMaxAcel =
      makeLimit(scaling, "SpinEditMaxAcel", QStringLiteral("Accelerometer y -axis Maximum"), 65535);
  SpinEditMinAcel =
      makeLimit(scaling, "SpinEditMinAcel", QStringLiteral("Accelerometer y -axis Minimum"), 0);
  LabelForceAxis->setBuddy(SpinEditMax);
  LabelAccelAxis->setBuddy(SpinEditMaxAcel);
  scalingGrid->addWidget(LabelMaximum, 3, 1, Qt::AlignLeft | Qt::AlignBottom);
  scalingGrid->addWidget(LabelMinimum, 3, 2, Qt::AlignLeft | Qt::AlignBottom);
  scalingGrid->addWidget(LabelForceAxis, 4, 0);
  scalingGrid->addWidget(SpinEditMax, 4, 1);
  scalingGrid->addWidget(SpinEditMin, 4, 2);
  scalingGrid->addWidget(LabelAccelAxis, 5, 0);
  scalingGrid->addWidget(SpinEditMaxAcel, 5, 1);
  scalingGrid->addWidget(SpinEditMinAcel, 5, 2);

  auto* groups = new QHBoxLayout;
  groups->setSpacing(20);
  groups->addWidget(series);
  groups->addWidget(scaling);
  groups->addStretch(1);
  page->addLayout(groups);

  Button18 = named(new QPushButton(QStringLiteral("Confirm Changes"), this), "Button18");
  Button18->setMinimumSize(188, 45);
  auto* confirm = new QHBoxLayout;
  confirm->addWidget(Button18);
  confirm->addStretch(1);
  page->addLayout(confirm);
  page->addStretch(1);

  setTabOrder(CheckBoxForce1, CheckBoxForce2);
  setTabOrder(CheckBoxForce2, CheckBoxAccX);
  setTabOrder(CheckBoxAccX, CheckBoxAccY);
  setTabOrder(CheckBoxAccY, CheckBoxAccZ);
  setTabOrder(CheckBoxAccZ, CheckBoxAuto);
  setTabOrder(CheckBoxAuto, CheckBoxAutoAcel);
  setTabOrder(CheckBoxAutoAcel, SpinEditMax);
  setTabOrder(SpinEditMax, SpinEditMin);
  setTabOrder(SpinEditMin, SpinEditMaxAcel);
  setTabOrder(SpinEditMaxAcel, SpinEditMinAcel);
  setTabOrder(SpinEditMinAcel, Button18);
}

}  // namespace kelvaro::ui
