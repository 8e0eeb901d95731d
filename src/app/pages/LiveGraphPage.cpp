#include "app/pages/LiveGraphPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/Widgets.h"
#include "widgets/GaugeBar.h"
#include "widgets/ReadoutLabel.h"
#include "widgets/ShapeIndicator.h"

namespace kelvaro {
namespace {

constexpr int kButtonWidth = 130;
constexpr int kButtonHeight = 35;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
  return button(parent, name, caption, QSize(kButtonWidth, kButtonHeight));
}

// A value shown beside its caption: assistive tools read the value, described by the caption.
ReadoutLabel* makeReadout(QWidget* parent, const char* name, const QLabel* caption,
                          const QString& text, qreal pointSize) {
  auto* value = named(new ReadoutLabel(text, parent), name, caption->text());
  QFont font;
  font.setPointSizeF(pointSize);
  value->setFont(font);
  value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // A fixed size: the value changes with every notification, and a label whose size hint moved
  // would make the page lay itself out again and the chart above it repaint in full.
  const QFontMetrics metrics(value->font());
  value->setFixedSize(metrics.horizontalAdvance(QStringLiteral("-000000")), metrics.height() + 4);
  // Opaque, so that a new value repaints the label alone and not the pages beneath it.
  value->setAutoFillBackground(true);
  return value;
}

// The cursor fields show what the chart computes; typing into them would mean nothing.
QLineEdit* makeOutputField(QWidget* parent, const char* name, const QString& text,
                           const QString& accessible) {
  auto* edit = named(new QLineEdit(text, parent), name, accessible);
  edit->setReadOnly(true);
  edit->setMinimumWidth(150);
  return edit;
}

}  // namespace

LiveGraphPage::LiveGraphPage(QWidget* parent) : QWidget(parent) {
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(4, 4, 4, 4);
  layout_->setSpacing(4);

  // Above the chart while the belt is out of reach.
  linkLostLabel = named(new QLabel(this), "LabelLinkLost");
  linkLostLabel->setAlignment(Qt::AlignCenter);
  linkLostLabel->setAutoFillBackground(true);
  QPalette amber = linkLostLabel->palette();
  amber.setColor(QPalette::Window, QColor(0xFF, 0xD5, 0x4F));
  amber.setColor(QPalette::WindowText, Qt::black);
  linkLostLabel->setPalette(amber);
  QFont bold = linkLostLabel->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  linkLostLabel->setFont(bold);
  linkLostLabel->setMargin(6);
  linkLostLabel->hide();
  layout_->addWidget(linkLostLabel);

  liveChart = new QWidget(this);
  liveChart->setObjectName(QStringLiteral("Chart1"));
  liveChart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  liveChart->setMinimumHeight(200);
  layout_->addWidget(liveChart, 1);
  layout_->addLayout(buildMarker());

  lowerPages = new QTabWidget(this);
  lowerPages->setObjectName(QStringLiteral("LowerPages"));
  standardTab = buildStandard();
  scientificToolsTab = buildScientificTools();
  lowerPages->addTab(standardTab, QStringLiteral("Standard"));
  lowerPages->addTab(scientificToolsTab, QStringLiteral("Scientific Tools"));
  lowerPages->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

  graphFreezeCheck =
      named(new QCheckBox(QStringLiteral("Graph Freeze"), lowerPages), "CheckBoxFreeze");
  graphFreezeCheck->setContentsMargins(0, 0, 8, 0);
  lowerPages->setCornerWidget(graphFreezeCheck, Qt::TopRightCorner);
  layout_->addWidget(lowerPages);

  setTabOrder(markerTextEdit, markerButton);
  setTabOrder(markerButton, lowerPages);
  setTabOrder(lowerPages, graphFreezeCheck);
  setTabOrder(graphFreezeCheck, printButton);
  setTabOrder(printButton, exportPictureButton);
  setTabOrder(exportPictureButton, zeroForce1Button);
  setTabOrder(zeroForce1Button, zeroForce2Button);
  setTabOrder(zeroForce2Button, disconnectButton);
  setTabOrder(disconnectButton, beltCombo);
  setTabOrder(beltCombo, beltNameEdit);
  setTabOrder(beltNameEdit, addBeltButton);
  setTabOrder(addBeltButton, disconnectAllButton);
  setTabOrder(disconnectAllButton, logFileNameEdit);
  setTabOrder(logFileNameEdit, logFormatCombo);
  setTabOrder(logFormatCombo, startLogButton);
  setTabOrder(startLogButton, endLogButton);
  setTabOrder(endLogButton, forceValueEdit);
  setTabOrder(forceValueEdit, timeValueEdit);
  setTabOrder(timeValueEdit, forceDeltaEdit);
  setTabOrder(forceDeltaEdit, timeDeltaEdit);
}

void LiveGraphPage::replaceChart(QWidget* chart) {
  if (chart == nullptr || chart == liveChart) return;
  chart->setParent(this);
  chart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  delete layout_->replaceWidget(liveChart, chart);
  liveChart->deleteLater();
  liveChart = chart;
  liveChart->show();
}

QLayout* LiveGraphPage::buildMarker() {
  auto* row = new QHBoxLayout;
  row->setSpacing(8);
  row->addStretch(1);
  markerTextLabel = named(new QLabel(QStringLiteral("Marker text"), this), "LabelMarker");
  markerTextEdit = named(new QLineEdit(this), "EditMarker", markerTextLabel->text());
  markerTextLabel->setBuddy(markerTextEdit);
  // What a recording's event list keeps of it, after "Marker: ".
  markerTextEdit->setMaxLength(32);
  markerTextEdit->setMinimumWidth(220);
  markerButton = makeButton(this, "ButtonMarker", QStringLiteral("Marker"));
  markerButton->setToolTip(QStringLiteral("A marker at this moment (F9 on every page)"));
  markerButton->setAccessibleDescription(QStringLiteral("F9 on every page"));
  row->addWidget(markerTextLabel);
  row->addWidget(markerTextEdit);
  row->addWidget(markerButton);
  return row;
}

QWidget* LiveGraphPage::buildStandard() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabStandard"));
  // Two rows: actions on the left, read-outs in caption/value pairs, the indicators, and
  // "Disconnect" on its own at the right edge.
  auto* grid = new QGridLayout(tab);
  grid->setContentsMargins(10, 10, 10, 10);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(10);

  printButton = makeButton(tab, "Button2", QStringLiteral("Print"));
  exportPictureButton = makeButton(tab, "Button6", QStringLiteral("WMF"));
  zeroForce1Button = makeButton(tab, "Button19", QStringLiteral("Zero Force 1"));
  zeroForce2Button = makeButton(tab, "Button4", QStringLiteral("Zero Force 2"));
  grid->addWidget(printButton, 0, 0);
  grid->addWidget(exportPictureButton, 1, 0);
  grid->addWidget(zeroForce1Button, 0, 1);
  grid->addWidget(zeroForce2Button, 1, 1);
  grid->setColumnMinimumWidth(2, 12);

  force1Caption = named(new QLabel(QStringLiteral("Force 1"), tab), "LabelForce1");
  force2Caption = named(new QLabel(QStringLiteral("Force 2"), tab), "LabelForce2");
  force1Readout = makeReadout(tab, "LabelF1", force1Caption, QStringLiteral("000"), 16);
  force2Readout = makeReadout(tab, "LabelF2", force2Caption, QStringLiteral("000"), 16);
  grid->addWidget(force1Caption, 0, 3);
  grid->addWidget(force1Readout, 0, 4);
  grid->addWidget(force2Caption, 1, 3);
  grid->addWidget(force2Readout, 1, 4);
  breathingCaption = named(new QLabel(QStringLiteral("Breaths/min"), tab), "LabelBreathing");
  breathingRateReadout = makeReadout(tab, "LabelRate", breathingCaption, QStringLiteral("---"), 12);
  grid->addWidget(breathingCaption, 2, 3);
  grid->addWidget(breathingRateReadout, 2, 4);
  grid->setColumnMinimumWidth(5, 12);

  currentActivityCaption =
      named(new QLabel(QStringLiteral("Current Belt Activity"), tab), "LabelCurrentActivity");
  averageActivityCaption =
      named(new QLabel(QStringLiteral("Avg Session Activity"), tab), "LabelAvgActivity");
  currentActivityReadout =
      makeReadout(tab, "LabelActF10", currentActivityCaption, QStringLiteral("---"), 12);
  averageActivityReadout =
      makeReadout(tab, "LabelActivityFAvg", averageActivityCaption, QStringLiteral("---"), 12);
  grid->addWidget(currentActivityCaption, 0, 6);
  grid->addWidget(currentActivityReadout, 0, 7);
  grid->addWidget(averageActivityCaption, 1, 6);
  grid->addWidget(averageActivityReadout, 1, 7);
  grid->setColumnMinimumWidth(8, 12);

  keyActivationCaption =
      named(new QLabel(QStringLiteral("Key Activation"), tab), "LabelKeyActivation");
  keyIndicator = named(new ShapeIndicator(ShapeIndicator::Shape::Circle, tab), "Shape1",
                       keyActivationCaption->text());
  auto* key = new QHBoxLayout;
  key->setSpacing(10);
  key->addWidget(keyActivationCaption);
  key->addWidget(keyIndicator);
  key->addStretch(1);
  grid->addLayout(key, 0, 9);

  batteryCaption = named(new QLabel(QStringLiteral("Battery"), tab), "LabelBattery");
  batteryGauge = named(new GaugeBar(tab), "Gauge1", batteryCaption->text());
  batteryGauge->setRange(0, 100);
  batteryGauge->setValue(0);
  batteryGauge->setTextVisible(true);
  batteryGauge->setFormat(QStringLiteral("%p%"));
  batteryGauge->setMinimumWidth(150);
  batteryCaption->setBuddy(batteryGauge);
  auto* battery = new QVBoxLayout;
  battery->setSpacing(2);
  battery->addWidget(batteryCaption);
  battery->addWidget(batteryGauge);
  grid->addLayout(battery, 1, 9);

  grid->setColumnStretch(10, 1);
  disconnectButton = named(new QPushButton(QStringLiteral("Disconnect"), tab), "Button20");
  disconnectButton->setMinimumSize(150, 55);
  grid->addWidget(disconnectButton, 0, 11, 2, 1, Qt::AlignVCenter);

  beltCaption = named(new QLabel(QStringLiteral("Belt"), tab), "LabelBelt");
  beltCombo = named(new QComboBox(tab), "ComboBelt", beltCaption->text());
  beltCombo->setToolTip(QStringLiteral("The belt whose readings are shown"));
  beltCombo->setMinimumWidth(120);
  beltCaption->setBuddy(beltCombo);
  auto* chosen = new QHBoxLayout;
  chosen->setSpacing(8);
  chosen->addWidget(beltCaption);
  chosen->addWidget(beltCombo, 1);
  grid->addLayout(chosen, 2, 0, 1, 2);
  beltNameCaption = named(new QLabel(QStringLiteral("Belt name"), tab), "LabelBeltName");
  beltNameEdit = named(new QLineEdit(tab), "EditBeltName", beltNameCaption->text());
  beltNameEdit->setToolTip(QStringLiteral("The chosen belt's short name (Enter to keep it)"));
  beltNameCaption->setBuddy(beltNameEdit);
  grid->addWidget(beltNameCaption, 2, 6);
  grid->addWidget(beltNameEdit, 2, 7);
  addBeltButton = makeButton(tab, "ButtonAddBelt", QStringLiteral("Add Belt"));
  addBeltButton->setToolTip(QStringLiteral("Connect one more belt on the same dongle"));
  grid->addWidget(addBeltButton, 2, 9, Qt::AlignLeft);
  disconnectAllButton = makeButton(tab, "ButtonDisconnectAll", QStringLiteral("Disconnect All"));
  grid->addWidget(disconnectAllButton, 2, 11);
  return tab;
}

QWidget* LiveGraphPage::buildScientificTools() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabScientificTools"));
  auto* row = new QHBoxLayout(tab);
  row->setContentsMargins(10, 6, 10, 6);
  row->setSpacing(16);

  measurementLogGroup = named(new QGroupBox(QStringLiteral("Measurement Log"), tab), "GroupLog",
                              QStringLiteral("Measurement Log"));
  auto* log = new QGridLayout(measurementLogGroup);
  log->setSpacing(8);
  logFileNameEdit = named(new QLineEdit(QStringLiteral("File Name"), measurementLogGroup),
                          "EditSoub", QStringLiteral("File Name"));
  logFileNameEdit->setMinimumWidth(160);
  logFormatLabel =
      named(new QLabel(QStringLiteral("Format"), measurementLogGroup), "LabelLogFormat");
  logFormatCombo =
      named(new QComboBox(measurementLogGroup), "ComboLogFormat", logFormatLabel->text());
  logFormatCombo->addItems({QStringLiteral("CSV"), QStringLiteral("EDF+")});
  logFormatCombo->setItemData(1, QStringLiteral("BDF+ (24-bit EDF+), the name gets .bdf"),
                              Qt::ToolTipRole);
  logFormatLabel->setBuddy(logFormatCombo);
  startLogButton = makeButton(measurementLogGroup, "ButtonStartLog", QStringLiteral("Start Log"));
  endLogButton = makeButton(measurementLogGroup, "ButtonEndLog", QStringLiteral("EndLog"));
  endLogButton->setEnabled(false);
  logStatusLabel =
      named(new QLabel(QStringLiteral("-"), measurementLogGroup), "LabelErr", tr("Log status"));
  // The status turns red when the file already exists; the window changes only the palette.
  logStatusLabel->setAutoFillBackground(true);
  logStatusLabel->setAlignment(Qt::AlignCenter);
  logStatusLabel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  logStatusLabel->setMinimumWidth(150);
  log->addWidget(logFileNameEdit, 0, 0);
  log->addWidget(logStatusLabel, 1, 0);
  auto* format = new QHBoxLayout;
  format->setSpacing(4);
  format->addWidget(logFormatLabel);
  format->addWidget(logFormatCombo);
  log->addLayout(format, 0, 1);
  log->addWidget(startLogButton, 0, 2);
  log->addWidget(endLogButton, 1, 2);
  row->addWidget(measurementLogGroup);

  const auto measureGroup = [tab](const char* name, const QString& title, const QString& first,
                                  QLineEdit* firstField, const QString& second,
                                  QLineEdit* secondField) {
    auto* group = named(new QGroupBox(title, tab), name, title);
    auto* form = new QFormLayout(group);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    firstField->setParent(group);
    secondField->setParent(group);
    form->addRow(first, firstField);
    form->addRow(second, secondField);
    return group;
  };
  forceValueEdit =
      makeOutputField(tab, "EditPosY", QStringLiteral("EditPosY"), QStringLiteral("Force Value"));
  timeValueEdit =
      makeOutputField(tab, "EditPosX", QStringLiteral("EditPosX"), QStringLiteral("Time Value"));
  forceDeltaEdit =
      makeOutputField(tab, "Edit8", QStringLiteral("Y"), QStringLiteral("Force Delta"));
  timeDeltaEdit =
      makeOutputField(tab, "Edit7", QStringLiteral("Cas"), QStringLiteral("Time Delta"));
  cursorGroup = measureGroup("GroupCursor", QStringLiteral("Graph Cursor Measurement"),
                             QStringLiteral("Force Value"), forceValueEdit,
                             QStringLiteral("Time Value"), timeValueEdit);
  clickGroup = measureGroup("GroupClick", QStringLiteral("Click Graph to Measure"),
                            QStringLiteral("Force Delta"), forceDeltaEdit,
                            QStringLiteral("Time Delta"), timeDeltaEdit);
  row->addWidget(cursorGroup);
  row->addWidget(clickGroup);
  row->addStretch(1);
  return tab;
}

}  // namespace kelvaro
