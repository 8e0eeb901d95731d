#include "app/pages/SpecSettingPage.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <climits>
#include <iterator>

#include "app/Widgets.h"
#include "app/pages/Scratch3Group.h"
#include "widgets/NumberEdit.h"

namespace kelvaro {
namespace {

constexpr int kButtonWidth = 150;
constexpr int kButtonHeight = 32;
constexpr int kConsoleHeight = 320;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
  return button(parent, name, caption, QSize(kButtonWidth, kButtonHeight));
}

QSpinBox* makeSpin(QWidget* parent, const char* name, const QString& accessible, int minimum,
                   int maximum, int value) {
  auto* spin = named(new QSpinBox(parent), name, accessible);
  spin->setRange(minimum, maximum);
  spin->setValue(value);
  spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return spin;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy) {
  auto* label = named(new QLabel(text, parent), name);
  label->setBuddy(buddy);
  return label;
}

QFont familyOnly(const QString& family) {
  QFont font;
  font.setFamilies({family});
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

// Each sub-page is a column of groups from the top, with the space left at the bottom.
QGridLayout* subPageGrid(QWidget* page) {
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(12, 12, 12, 12);
  grid->setHorizontalSpacing(16);
  grid->setVerticalSpacing(10);
  return grid;
}

}  // namespace

SpecSettingPage::SpecSettingPage(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 0);
  layout->setSpacing(6);

  specPages = named(new QTabWidget(this), "PageControl2", tr("Special settings"));
  standardSpecTab = buildStandard();
  enhancedTab = buildEnhanced();
  calibrationTab = buildCalibration();
  accelSettingTab = buildAccelSetting();
  specPages->addTab(standardSpecTab, QStringLiteral("Standard"));
  specPages->addTab(enhancedTab, QStringLiteral("Edhanced"));
  specPages->addTab(calibrationTab, QStringLiteral("Calibration"));
  specPages->addTab(accelSettingTab, QStringLiteral("Accel Setting"));
  layout->addWidget(specPages, 1);

  diagnosticsConsole = named(new QPlainTextEdit(this), "Memo3", tr("Diagnostics console"));
  QFont console = familyOnly(QStringLiteral("Courier New"));
  console.setPointSize(10);
  console.setWeight(QFont::Normal);
  diagnosticsConsole->setFont(console);
  diagnosticsConsole->setFixedHeight(kConsoleHeight);
  diagnosticsConsole->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Nothing reads what would be typed here; the console is output only.
  diagnosticsConsole->setReadOnly(true);
  diagnosticsConsole->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                              Qt::TextSelectableByKeyboard);
  diagnosticsConsole->setTabChangesFocus(true);
  diagnosticsConsole->setUndoRedoEnabled(false);
  layout->addWidget(diagnosticsConsole);

  orderTabs();
}

QWidget* SpecSettingPage::buildStandard() {
  auto* page = named(new QWidget, "TabSheet3");
  auto* grid = subPageGrid(page);

  auto* ble = new QGroupBox(QStringLiteral("BLE"), page);
  auto* bleLayout = new QGridLayout(ble);
  bleResetButton = makeButton(ble, "ButtonReset", QStringLiteral("BLE Reset "));
  bleConnectButton = makeButton(ble, "ButtonAutoConn", QStringLiteral("BLE Connect"));
  bleDisconnectButton = makeButton(ble, "ButtonBLEDis", QStringLiteral("BLE Disconnect"));
  macEdit = named(new QLineEdit(QStringLiteral("012345678901"), ble), "EditMac", tr("MAC"));
  macEdit->setMaxLength(12);
  macEdit->setFont(familyOnly(QStringLiteral("Courier New")));
  macLabel = makeLabel(ble, "LabelMac", tr("MAC"), macEdit);
  bleLayout->addWidget(bleResetButton, 0, 0, 1, 2);
  bleLayout->addWidget(bleConnectButton, 1, 0, 1, 2);
  bleLayout->addWidget(bleDisconnectButton, 2, 0, 1, 2);
  bleLayout->addWidget(macLabel, 3, 0);
  bleLayout->addWidget(macEdit, 3, 1);
  grid->addWidget(ble, 0, 0);

  auto* scratch = new QGroupBox(QStringLiteral("Scratch"), page);
  auto* scratchLayout = new QGridLayout(scratch);
  tcpConnectButton = makeButton(scratch, "Button13", QStringLiteral("TCP Connect"));
  tcpDisconnectButton = makeButton(scratch, "Button14", QStringLiteral("TCP Disconnect"));
  scratchIpEdit = named(new QLineEdit(QStringLiteral("192.168.1.4"), scratch), "EditIP", tr("IP"));
  scratchIpEdit->setMaxLength(16);
  scratchIpLabel = makeLabel(scratch, "LabelIP", tr("IP"), scratchIpEdit);
  scratchLayout->addWidget(tcpConnectButton, 0, 0, 1, 2);
  scratchLayout->addWidget(tcpDisconnectButton, 1, 0, 1, 2);
  scratchLayout->addWidget(scratchIpLabel, 2, 0);
  scratchLayout->addWidget(scratchIpEdit, 2, 1);
  scratchLayout->setRowStretch(3, 1);
  grid->addWidget(scratch, 0, 1);

  auto* belt = new QGroupBox(QStringLiteral("Belt"), page);
  auto* beltLayout = new QFormLayout(belt);
  batteryEdit = named(new QLineEdit(belt), "EditNap", tr("Battery"));
  temperatureEdit = named(new QLineEdit(belt), "EditTemp", tr("Temperature"));
  for (auto* readout : {batteryEdit, temperatureEdit}) {
    readout->setReadOnly(true);
    readout->setMinimumWidth(
        QFontMetrics(readout->font()).horizontalAdvance(QStringLiteral("T=000.00 \u00B0C")) + 16);
  }
  batteryLabel = makeLabel(belt, "LabelNap", tr("Battery"), batteryEdit);
  temperatureLabel = makeLabel(belt, "LabelTemp", tr("Temperature"), temperatureEdit);
  beltLayout->addRow(batteryLabel, batteryEdit);
  beltLayout->addRow(temperatureLabel, temperatureEdit);
  grid->addWidget(belt, 0, 2);

  scratch3Group = new Scratch3Group(page);
  grid->addWidget(scratch3Group, 1, 0, 1, 3, Qt::AlignTop);

  clearConsoleButton = makeButton(page, "Button5", QStringLiteral("Clear"));
  clearConsoleButton->setToolTip(tr("Empties the console below"));
  // Right above the console it empties.
  grid->addWidget(clearConsoleButton, 1, 3, Qt::AlignRight | Qt::AlignBottom);
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return page;
}

QWidget* SpecSettingPage::buildEnhanced() {
  auto* page = named(new QWidget, "TabSheet4");
  auto* grid = subPageGrid(page);

  auto* bgapi = new QGroupBox(QStringLiteral("BGAPI"), page);
  auto* bgapiLayout = new QGridLayout(bgapi);
  connectDirectButton = makeButton(bgapi, "Button8", QStringLiteral("ConnectDirect"));
  set1Button = makeButton(bgapi, "Button10", QStringLiteral("Set1"));
  set2Button = makeButton(bgapi, "Button12", QStringLiteral("Set2"));
  startDiscoveryButton = makeButton(bgapi, "Button9", QStringLiteral("StartGapDiscover"));
  stopDiscoveryButton = makeButton(bgapi, "Button7", QStringLiteral("StopGatDisc"));
  bgapiLayout->addWidget(connectDirectButton, 0, 0);
  bgapiLayout->addWidget(set1Button, 0, 1);
  bgapiLayout->addWidget(set2Button, 0, 2);
  bgapiLayout->addWidget(startDiscoveryButton, 1, 0);
  bgapiLayout->addWidget(stopDiscoveryButton, 1, 1);
  grid->addWidget(bgapi, 0, 0);

  auto* scratch = new QGroupBox(QStringLiteral("Scratch"), page);
  auto* scratchLayout = new QGridLayout(scratch);
  sendForceButton = makeButton(scratch, "Button15", QStringLiteral("Send force"));
  forceToSendSpin = makeSpin(scratch, "SpinEdit1", tr("Force to send"), INT_MIN, INT_MAX, 55000);
  forceToSendSpin->setMinimumWidth(120);
  testLinkButton = makeButton(scratch, "Button16", QStringLiteral("Test spoj"));
  scratchLayout->addWidget(sendForceButton, 0, 0);
  scratchLayout->addWidget(forceToSendSpin, 0, 1);
  scratchLayout->addWidget(testLinkButton, 1, 0);
  scratchLayout->setColumnStretch(2, 1);
  grid->addWidget(scratch, 1, 0);

  graphGroup = named(new QGroupBox(QStringLiteral("Graph"), page), "GroupGraph");
  auto* graphLayout = new QHBoxLayout(graphGroup);
  printResolutionSpin =
      makeSpin(graphGroup, "SpinEdit14", QStringLiteral("Print resolution %"), -100, 99, 0);
  printResolutionSpin->setMinimumWidth(80);
  printResolutionSpin->setToolTip(QString::fromUtf8("Rozlišení detailů při tisku "));
  printResolutionLabel = makeLabel(graphGroup, "LabelPrintResolution",
                                   QStringLiteral("Print resolution %"), printResolutionSpin);
  graphLayout->addWidget(printResolutionLabel);
  graphLayout->addWidget(printResolutionSpin);
  graphLayout->addStretch(1);
  grid->addWidget(graphGroup, 2, 0);

  auto* side = new QVBoxLayout;
  side->setSpacing(10);
  logCheck = named(new QCheckBox(QStringLiteral("Log"), page), "CheckBoxLog");
  logCheck->setToolTip(tr("Trace every measurement notification on the console"));
  captureCheck = named(new QCheckBox(QStringLiteral("Capture"), page), "CheckBoxCapture");
  captureCheck->setToolTip(tr("Write every byte to and from the dongle into a capture file"));
  aboutButton = makeButton(page, "Button1", QStringLiteral("About"));
  comSetupButton = makeButton(page, "Button3", QStringLiteral("COM setup"));
  auto* traces = new QHBoxLayout;
  traces->setSpacing(16);
  traces->addWidget(logCheck);
  traces->addWidget(captureCheck);
  traces->addStretch(1);
  side->addLayout(traces);
  side->addWidget(comSetupButton);
  side->addWidget(aboutButton);
  side->addStretch(1);
  grid->addLayout(side, 0, 1, 3, 1);

  grid->setRowStretch(3, 1);
  grid->setColumnStretch(2, 1);
  return page;
}

QWidget* SpecSettingPage::buildCalibration() {
  auto* page = named(new QWidget, "TabSheet2");
  auto* outer = subPageGrid(page);
  auto* table = new QGridLayout;
  table->setHorizontalSpacing(16);
  table->setVerticalSpacing(10);

  const auto heading = [page](const QString& text) {
    auto* label = new QLabel(text, page);
    label->setAlignment(Qt::AlignCenter);
    return label;
  };
  table->addWidget(heading(QStringLiteral("Slope (K)")), 0, 1);
  table->addWidget(heading(QStringLiteral("Offset (Q)")), 0, 2);

  const auto slope = [page](const char* name, const QString& sensor) {
    auto* edit = named(new NumberEdit(QStringLiteral("0000"), page), name,
                       sensor + QStringLiteral(" Slope (K)"));
    edit->setRange(-1000, 20000);
    edit->setValue(500);
    edit->setMinimumWidth(120);
    return edit;
  };
  const auto offset = [page](const char* name, const QString& sensor) {
    auto* spin =
        makeSpin(page, name, sensor + QStringLiteral(" Offset (Q)"), INT_MIN, INT_MAX, 1000);
    spin->setMinimumWidth(120);
    return spin;
  };
  slope1Edit = slope("NEditK1", QStringLiteral("Sensor 1"));
  slope2Edit = slope("NEditK2", QStringLiteral("Sensor 2"));
  offset1Spin = offset("SpinEditOfs1", QStringLiteral("Sensor 1"));
  offset2Spin = offset("SpinEditOfs2", QStringLiteral("Sensor 2"));
  zero1Button = makeButton(page, "ButtonZero1", QStringLiteral("Zero1"));
  zero2Button = makeButton(page, "ButtonZero2", QStringLiteral("Zero2"));
  zero1Button->setMinimumWidth(100);
  zero2Button->setMinimumWidth(100);
  sensor1Label = makeLabel(page, "LabelSensor1", QStringLiteral("Sensor 1"), slope1Edit);
  sensor2Label = makeLabel(page, "LabelSensor2", QStringLiteral("Sensor 2"), slope2Edit);

  table->addWidget(sensor1Label, 1, 0);
  table->addWidget(slope1Edit, 1, 1);
  table->addWidget(offset1Spin, 1, 2);
  table->addWidget(zero1Button, 1, 3);
  table->addWidget(sensor2Label, 2, 0);
  table->addWidget(slope2Edit, 2, 1);
  table->addWidget(offset2Spin, 2, 2);
  table->addWidget(zero2Button, 2, 3);

  outer->addLayout(table, 0, 0);
  outer->setRowStretch(1, 1);
  outer->setColumnStretch(1, 1);
  return page;
}

QWidget* SpecSettingPage::buildAccelSetting() {
  auto* page = named(new QWidget, "TabSheet6");
  auto* outer = subPageGrid(page);
  auto* table = new QGridLayout;
  table->setHorizontalSpacing(12);
  table->setVerticalSpacing(8);

  const auto heading = [page](const QString& text) {
    auto* label = new QLabel(text, page);
    label->setAlignment(Qt::AlignCenter);
    return label;
  };
  table->addWidget(heading(tr("Acceleration limits")), 0, 1, 1, 2);
  table->addWidget(heading(tr("Key codes")), 0, 4, 1, 2);
  const QString low = QStringLiteral("LOW");
  const QString high = QStringLiteral("HIGH");
  table->addWidget(heading(low), 1, 1);
  table->addWidget(heading(high), 1, 2);
  table->addWidget(heading(low), 1, 4);
  table->addWidget(heading(high), 1, 5);

  struct Row {
    const char* axis;
    QSpinBox** limitLow;
    QSpinBox** limitHigh;
    QSpinBox** keyLow;
    QSpinBox** keyHigh;
    const char* names[4];
    int defaults[4];
  };
  const Row rows[] = {
      {"X",
       &accelLowXSpin,
       &accelHighXSpin,
       &keyLowXSpin,
       &keyHighXSpin,
       {"SpinEditACLX", "SpinEditACHX", "SpinEditKeyLX", "SpinEditKeyHX"},
       {-500, 500, 1, 4}},
      {"Y",
       &accelLowYSpin,
       &accelHighYSpin,
       &keyLowYSpin,
       &keyHighYSpin,
       {"SpinEditACLY", "SpinEditACHY", "SpinEditKeyLY", "SpinEditKeyHY"},
       {-501, 501, 2, 5}},
      {"Z",
       &accelLowZSpin,
       &accelHighZSpin,
       &keyLowZSpin,
       &keyHighZSpin,
       {"SpinEditACLZ", "SpinEditACHZ", "SpinEditKeyLZ", "SpinEditKeyHZ"},
       {-502, 502, 3, 6}},
  };
  int r = 2;
  for (const Row& row : rows) {
    const QString axis = QString::fromLatin1(row.axis);
    auto* label = new QLabel(axis, page);
    table->addWidget(label, r, 0);
    QSpinBox** targets[] = {row.limitLow, row.limitHigh, row.keyLow, row.keyHigh};
    const QString roles[] = {QStringLiteral(" LOW limit"), QStringLiteral(" HIGH limit"),
                             QStringLiteral(" LOW key"), QStringLiteral(" HIGH key")};
    for (int c = 0; c < 4; ++c) {
      const bool isKey = c >= 2;
      auto* spin = makeSpin(page, row.names[c], axis + roles[c], isKey ? 0 : -9999,
                            isKey ? 255 : 9999, row.defaults[c]);
      spin->setMinimumWidth(100);
      *targets[c] = spin;
      table->addWidget(spin, r, isKey ? c + 2 : c + 1);
    }
    label->setBuddy(*row.limitLow);
    ++r;
  }
  // A gap between the limits and the keys keeps the two LOW/HIGH pairs apart.
  table->setColumnMinimumWidth(3, 24);
  outer->addLayout(table, 0, 0);
  outer->setRowStretch(1, 1);
  outer->setColumnStretch(1, 1);
  return page;
}

void SpecSettingPage::orderTabs() {
  QWidget* const order[] = {
      specPages,       bleResetButton,   bleConnectButton,     bleDisconnectButton,
      macEdit,         tcpConnectButton, tcpDisconnectButton,  scratchIpEdit,
      batteryEdit,     temperatureEdit,  clearConsoleButton,   connectDirectButton,
      set1Button,      set2Button,       startDiscoveryButton, stopDiscoveryButton,
      sendForceButton, forceToSendSpin,  testLinkButton,       printResolutionSpin,
      logCheck,        captureCheck,     comSetupButton,       aboutButton,
      slope1Edit,      offset1Spin,      zero1Button,          slope2Edit,
      offset2Spin,     zero2Button,      accelLowXSpin,        accelHighXSpin,
      keyLowXSpin,     keyHighXSpin,     accelLowYSpin,        accelHighYSpin,
      keyLowYSpin,     keyHighYSpin,     accelLowZSpin,        accelHighZSpin,
      keyLowZSpin,     keyHighZSpin,     diagnosticsConsole};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }
  // The Scratch 3 group comes after the read-outs above it, before "Clear".
  QWidget* const scratch3[] = {temperatureEdit, scratch3Group->enableCheck,
                               scratch3Group->addressEdit, scratch3Group->copyButton,
                               clearConsoleButton};
  for (std::size_t i = 1; i < std::size(scratch3); ++i) setTabOrder(scratch3[i - 1], scratch3[i]);
}

}  // namespace kelvaro
