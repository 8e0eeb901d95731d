#include "app/SpecSettingPage.h"

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
#include "widgets/NumberEdit.h"

namespace kelvaro::ui {
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

  PageControl2 = named(new QTabWidget(this), "PageControl2", tr("Special settings"));
  TabSheet3 = buildStandard();
  TabSheet4 = buildEnhanced();
  TabSheet2 = buildCalibration();
  TabSheet6 = buildAccelSetting();
  PageControl2->addTab(TabSheet3, QStringLiteral("Standard"));
  PageControl2->addTab(TabSheet4, QStringLiteral("Edhanced"));
  PageControl2->addTab(TabSheet2, QStringLiteral("Calibration"));
  PageControl2->addTab(TabSheet6, QStringLiteral("Accel Setting"));
  layout->addWidget(PageControl2, 1);

  Memo3 = named(new QPlainTextEdit(this), "Memo3", tr("Diagnostics console"));
  QFont console = familyOnly(QStringLiteral("Courier New"));
  console.setPointSize(10);
  console.setWeight(QFont::Normal);
  Memo3->setFont(console);
  Memo3->setFixedHeight(kConsoleHeight);
  Memo3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Nothing reads what would be typed here; the console is output only.
  Memo3->setReadOnly(true);
  Memo3->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo3->setTabChangesFocus(true);
  Memo3->setUndoRedoEnabled(false);
  layout->addWidget(Memo3);

  orderTabs();
}

QWidget* SpecSettingPage::buildStandard() {
  auto* page = named(new QWidget, "TabSheet3");
  auto* grid = subPageGrid(page);

  auto* ble = new QGroupBox(QStringLiteral("BLE"), page);
  auto* bleLayout = new QGridLayout(ble);
  ButtonReset = makeButton(ble, "ButtonReset", QStringLiteral("BLE Reset "));
  ButtonAutoConn = makeButton(ble, "ButtonAutoConn", QStringLiteral("BLE Connect"));
  ButtonBLEDis = makeButton(ble, "ButtonBLEDis", QStringLiteral("BLE Disconnect"));
  EditMac = named(new QLineEdit(QStringLiteral("012345678901"), ble), "EditMac", tr("MAC"));
  EditMac->setMaxLength(12);
  EditMac->setFont(familyOnly(QStringLiteral("Courier New")));
  LabelMac = makeLabel(ble, "LabelMac", tr("MAC"), EditMac);
  bleLayout->addWidget(ButtonReset, 0, 0, 1, 2);
  bleLayout->addWidget(ButtonAutoConn, 1, 0, 1, 2);
  bleLayout->addWidget(ButtonBLEDis, 2, 0, 1, 2);
  bleLayout->addWidget(LabelMac, 3, 0);
  bleLayout->addWidget(EditMac, 3, 1);
  grid->addWidget(ble, 0, 0);

  auto* scratch = new QGroupBox(QStringLiteral("Scratch"), page);
  auto* scratchLayout = new QGridLayout(scratch);
  Button13 = makeButton(scratch, "Button13", QStringLiteral("TCP Connect"));
  Button14 = makeButton(scratch, "Button14", QStringLiteral("TCP Disconnect"));
  EditIP = named(new QLineEdit(QStringLiteral("192.168.1.4"), scratch), "EditIP", tr("IP"));
  EditIP->setMaxLength(16);
  LabelIP = makeLabel(scratch, "LabelIP", tr("IP"), EditIP);
  scratchLayout->addWidget(Button13, 0, 0, 1, 2);
  scratchLayout->addWidget(Button14, 1, 0, 1, 2);
  scratchLayout->addWidget(LabelIP, 2, 0);
  scratchLayout->addWidget(EditIP, 2, 1);
  scratchLayout->setRowStretch(3, 1);
  grid->addWidget(scratch, 0, 1);

  auto* belt = new QGroupBox(QStringLiteral("Belt"), page);
  auto* beltLayout = new QFormLayout(belt);
  EditNap = named(new QLineEdit(belt), "EditNap", tr("Battery"));
  EditTemp = named(new QLineEdit(belt), "EditTemp", tr("Temperature"));
  for (auto* readout : {EditNap, EditTemp}) {
    readout->setReadOnly(true);
    readout->setMinimumWidth(
        QFontMetrics(readout->font()).horizontalAdvance(QStringLiteral("T=000.00 \u00B0C")) + 16);
  }
  LabelNap = makeLabel(belt, "LabelNap", tr("Battery"), EditNap);
  LabelTemp = makeLabel(belt, "LabelTemp", tr("Temperature"), EditTemp);
  beltLayout->addRow(LabelNap, EditNap);
  beltLayout->addRow(LabelTemp, EditTemp);
  grid->addWidget(belt, 0, 2);

  Button5 = makeButton(page, "Button5", QStringLiteral("Clear"));
  Button5->setToolTip(tr("Empties the console below"));
  // Right above the console it empties.
  grid->addWidget(Button5, 1, 3, Qt::AlignRight | Qt::AlignBottom);
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return page;
}

QWidget* SpecSettingPage::buildEnhanced() {
  auto* page = named(new QWidget, "TabSheet4");
  auto* grid = subPageGrid(page);

  auto* bgapi = new QGroupBox(QStringLiteral("BGAPI"), page);
  auto* bgapiLayout = new QGridLayout(bgapi);
  Button8 = makeButton(bgapi, "Button8", QStringLiteral("ConnectDirect"));
  Button10 = makeButton(bgapi, "Button10", QStringLiteral("Set1"));
  Button12 = makeButton(bgapi, "Button12", QStringLiteral("Set2"));
  Button9 = makeButton(bgapi, "Button9", QStringLiteral("StartGapDiscover"));
  Button7 = makeButton(bgapi, "Button7", QStringLiteral("StopGatDisc"));
  bgapiLayout->addWidget(Button8, 0, 0);
  bgapiLayout->addWidget(Button10, 0, 1);
  bgapiLayout->addWidget(Button12, 0, 2);
  bgapiLayout->addWidget(Button9, 1, 0);
  bgapiLayout->addWidget(Button7, 1, 1);
  grid->addWidget(bgapi, 0, 0);

  auto* scratch = new QGroupBox(QStringLiteral("Scratch"), page);
  auto* scratchLayout = new QGridLayout(scratch);
  Button15 = makeButton(scratch, "Button15", QStringLiteral("Send force"));
  SpinEdit1 = makeSpin(scratch, "SpinEdit1", tr("Force to send"), INT_MIN, INT_MAX, 55000);
  SpinEdit1->setMinimumWidth(120);
  Button16 = makeButton(scratch, "Button16", QStringLiteral("Test spoj"));
  scratchLayout->addWidget(Button15, 0, 0);
  scratchLayout->addWidget(SpinEdit1, 0, 1);
  scratchLayout->addWidget(Button16, 1, 0);
  scratchLayout->setColumnStretch(2, 1);
  grid->addWidget(scratch, 1, 0);

  GroupGraph = named(new QGroupBox(QStringLiteral("Graph"), page), "GroupGraph");
  auto* graphLayout = new QHBoxLayout(GroupGraph);
  SpinEdit14 =
      makeSpin(GroupGraph, "SpinEdit14", QStringLiteral("Print resolution %"), -100, 99, 0);
  SpinEdit14->setMinimumWidth(80);
  SpinEdit14->setToolTip(QString::fromUtf8("Rozlišení detailů při tisku "));
  LabelPrintResolution = makeLabel(GroupGraph, "LabelPrintResolution",
                                   QStringLiteral("Print resolution %"), SpinEdit14);
  graphLayout->addWidget(LabelPrintResolution);
  graphLayout->addWidget(SpinEdit14);
  graphLayout->addStretch(1);
  grid->addWidget(GroupGraph, 2, 0);

  auto* side = new QVBoxLayout;
  side->setSpacing(10);
  CheckBoxLog = named(new QCheckBox(QStringLiteral("Log"), page), "CheckBoxLog");
  CheckBoxLog->setToolTip(tr("Trace every measurement notification on the console"));
  Button1 = makeButton(page, "Button1", QStringLiteral("About"));
  Button3 = makeButton(page, "Button3", QStringLiteral("COM setup"));
  side->addWidget(CheckBoxLog);
  side->addWidget(Button3);
  side->addWidget(Button1);
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
  NEditK1 = slope("NEditK1", QStringLiteral("Sensor 1"));
  NEditK2 = slope("NEditK2", QStringLiteral("Sensor 2"));
  SpinEditOfs1 = offset("SpinEditOfs1", QStringLiteral("Sensor 1"));
  SpinEditOfs2 = offset("SpinEditOfs2", QStringLiteral("Sensor 2"));
  ButtonZero1 = makeButton(page, "ButtonZero1", QStringLiteral("Zero1"));
  ButtonZero2 = makeButton(page, "ButtonZero2", QStringLiteral("Zero2"));
  ButtonZero1->setMinimumWidth(100);
  ButtonZero2->setMinimumWidth(100);
  LabelSensor1 = makeLabel(page, "LabelSensor1", QStringLiteral("Sensor 1"), NEditK1);
  LabelSensor2 = makeLabel(page, "LabelSensor2", QStringLiteral("Sensor 2"), NEditK2);

  table->addWidget(LabelSensor1, 1, 0);
  table->addWidget(NEditK1, 1, 1);
  table->addWidget(SpinEditOfs1, 1, 2);
  table->addWidget(ButtonZero1, 1, 3);
  table->addWidget(LabelSensor2, 2, 0);
  table->addWidget(NEditK2, 2, 1);
  table->addWidget(SpinEditOfs2, 2, 2);
  table->addWidget(ButtonZero2, 2, 3);

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
       &SpinEditACLX,
       &SpinEditACHX,
       &SpinEditKeyLX,
       &SpinEditKeyHX,
       {"SpinEditACLX", "SpinEditACHX", "SpinEditKeyLX", "SpinEditKeyHX"},
       {-500, 500, 1, 4}},
      {"Y",
       &SpinEditACLY,
       &SpinEditACHY,
       &SpinEditKeyLY,
       &SpinEditKeyHY,
       {"SpinEditACLY", "SpinEditACHY", "SpinEditKeyLY", "SpinEditKeyHY"},
       {-501, 501, 2, 5}},
      {"Z",
       &SpinEditACLZ,
       &SpinEditACHZ,
       &SpinEditKeyLZ,
       &SpinEditKeyHZ,
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
      PageControl2,  ButtonReset,   ButtonAutoConn, ButtonBLEDis,  EditMac,       Button13,
      Button14,      EditIP,        EditNap,        EditTemp,      Button5,       Button8,
      Button10,      Button12,      Button9,        Button7,       Button15,      SpinEdit1,
      Button16,      SpinEdit14,    CheckBoxLog,    Button3,       Button1,       NEditK1,
      SpinEditOfs1,  ButtonZero1,   NEditK2,        SpinEditOfs2,  ButtonZero2,   SpinEditACLX,
      SpinEditACHX,  SpinEditKeyLX, SpinEditKeyHX,  SpinEditACLY,  SpinEditACHY,  SpinEditKeyLY,
      SpinEditKeyHY, SpinEditACLZ,  SpinEditACHZ,   SpinEditKeyLZ, SpinEditKeyHZ, Memo3};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(order[i - 1], order[i]);
  }
}

}  // namespace kelvaro::ui
