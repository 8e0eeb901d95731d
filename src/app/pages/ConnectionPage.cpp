#include "app/pages/ConnectionPage.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/Widgets.h"
#include "widgets/RadioGroup.h"

namespace kelvaro {
namespace {

// Column widths of the scan list: two narrow empty columns, then the device and its signal.
constexpr int kScanColumnWidths[] = {26, 14, 216, 201};
constexpr int kConnectButtonHeight = 55;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
  return button(parent, name, caption);
}

}  // namespace

ConnectionPage::ConnectionPage(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(15, 12, 15, 12);
  layout->setSpacing(30);
  layout->addWidget(buildScanColumn());
  layout->addWidget(buildSideColumn(), 1);

  setTabOrder(scanGrid, connectSelectedButton);
  setTabOrder(connectSelectedButton, connectLastButton);
  setTabOrder(connectLastButton, connectionResetButton);
  setTabOrder(connectionResetButton, playCaptureButton);
  setTabOrder(playCaptureButton, lastBeltIdEdit);
  setTabOrder(lastBeltIdEdit, connectionAboutButton);
  setTabOrder(connectionAboutButton, usersRadioGroup);
  setTabOrder(usersRadioGroup, userNameEdit);
  setTabOrder(userNameEdit, addUserButton);
  setTabOrder(addUserButton, setUserNameButton);
  setTabOrder(setUserNameButton, removeUserButton);
  setTabOrder(removeUserButton, autoComPortCheck);
  setTabOrder(autoComPortCheck, setComPortButton);
}

void ConnectionPage::changeEvent(QEvent* event) {
  // The heading row is drawn in the page's font like the rows, which a header does not inherit
  // by itself on every platform theme.
  if (event->type() == QEvent::FontChange) {
    scanGrid->horizontalHeader()->setFont(scanGrid->font());
    scanGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);
  }
  QWidget::changeEvent(event);
}

QWidget* ConnectionPage::buildScanColumn() {
  auto* column = new QWidget(this);
  auto* grid = new QGridLayout(column);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);

  scanGrid = named(new QTableWidget(0, 4, column), "StringGridScan", tr("Scan list"));
  scanGrid->setHorizontalHeaderLabels(
      {QString(), QString(), QStringLiteral("Device ID"), QStringLiteral("Signal [dB]")});
  scanGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  scanGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  scanGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab leaves the list instead of walking its cells; the arrow keys choose the row.
  scanGrid->setTabKeyNavigation(false);
  scanGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scanGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  scanGrid->verticalHeader()->hide();
  scanGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  scanGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);
  scanGrid->horizontalHeader()->setMinimumSectionSize(1);
  scanGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  scanGrid->horizontalHeader()->setHighlightSections(false);
  scanGrid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  int tableWidth = 2 * scanGrid->frameWidth() + scanGrid->verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < 4; ++c) {
    scanGrid->setColumnWidth(c, kScanColumnWidths[c]);
    tableWidth += kScanColumnWidths[c];
  }
  scanGrid->setFixedWidth(tableWidth);
  scanGrid->setMinimumHeight(160);
  grid->addWidget(scanGrid, 0, 0, 1, 4);
  grid->setRowStretch(0, 1);

  scanHeading =
      named(new QLabel(QStringLiteral("Kelvaro ID is on the sensing device."), column), "Label33");
  grid->addWidget(scanHeading, 1, 0, 1, 4);

  connectSelectedButton = makeButton(column, "ButtonConnect", QStringLiteral("Connect Selected"));
  connectLastButton = makeButton(column, "ButtonLastIDt2", QStringLiteral("Connect Last"));
  connectionResetButton = makeButton(column, "ButtonReset2", QStringLiteral("Connection Reset"));
  playCaptureButton = makeButton(column, "ButtonPlayCapture", QStringLiteral("Play capture\u2026"));
  playCaptureButton->setToolTip(
      tr("Play a belt recorded in a capture file instead of the dongle's"));
  int column_index = 0;
  for (auto* b :
       {connectSelectedButton, connectLastButton, connectionResetButton, playCaptureButton}) {
    b->setMinimumHeight(kConnectButtonHeight);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    grid->addWidget(b, 2, column_index++);
  }
  // Nothing to connect to until the scan has heard a device.
  connectSelectedButton->setEnabled(false);
  connectLastButton->setEnabled(false);

  lastBeltIdLabel = named(new QLabel(QStringLiteral("Last ID"), column), "Label32");
  lastBeltIdEdit = named(new QLineEdit(column), "EditLastID", lastBeltIdLabel->text());
  lastBeltIdLabel->setBuddy(lastBeltIdEdit);
  grid->addWidget(lastBeltIdLabel, 3, 1);
  grid->addWidget(lastBeltIdEdit, 4, 1);

  strongestSignalNote =
      named(new QLabel(QStringLiteral("Look for the device with the strongest signal after "
                                      "you place the sensor to the closest proximity of "
                                      "your PC. "),
                       column),
            "Label34");
  strongestSignalNote->setWordWrap(true);
  grid->addWidget(strongestSignalNote, 5, 0, 1, 4);
  signalExampleNote = named(
      new QLabel(QStringLiteral("Example: (-40dB is stronger than -60dB)"), column), "Label35");
  grid->addWidget(signalExampleNote, 6, 0, 1, 4);
  grid->setRowMinimumHeight(5, 50);
  return column;
}

QWidget* ConnectionPage::buildSideColumn() {
  auto* column = new QWidget(this);
  auto* box = new QVBoxLayout(column);
  box->setContentsMargins(0, 0, 0, 0);
  box->setSpacing(12);

  connectionAboutButton = makeButton(column, "Button11", QStringLiteral("About"));
  connectionAboutButton->setMinimumWidth(100);
  box->addWidget(connectionAboutButton, 0, Qt::AlignRight);

  usersGroup = named(new QGroupBox(QStringLiteral("User Selection and Management"), column),
                     "GroupUsers", QStringLiteral("User Selection and Management"));
  auto* users = new QHBoxLayout(usersGroup);
  users->setSpacing(12);
  usersRadioGroup = named(new RadioGroup(QStringLiteral("Users"), usersGroup), "RadioGroupUsers",
                          QStringLiteral("Users"));
  // The window replaces this item with the stored users when it reads the settings.
  usersRadioGroup->setItems({QStringLiteral("Default User")});
  usersRadioGroup->setItemIndex(0);
  usersRadioGroup->setMinimumWidth(200);
  users->addWidget(usersRadioGroup, 1);

  auto* actions = new QVBoxLayout;
  actions->setSpacing(8);
  userNameEdit = named(new QLineEdit(QStringLiteral("New User Name"), usersGroup), "EditName",
                       tr("User name"));
  userNameEdit->setMinimumWidth(180);
  addUserButton = makeButton(usersGroup, "ButtonAdd", QStringLiteral("Add New User"));
  setUserNameButton = makeButton(usersGroup, "ButtonSetName", QStringLiteral("Set Name"));
  removeUserButton = makeButton(usersGroup, "ButtonRemove", QStringLiteral("Remove User"));
  actions->addWidget(userNameEdit);
  for (auto* b : {addUserButton, setUserNameButton, removeUserButton}) {
    b->setMinimumHeight(35);
    actions->addWidget(b);
  }
  actions->addStretch(1);
  users->addLayout(actions);
  box->addWidget(usersGroup);
  box->addStretch(1);

  autoComPortCheck =
      named(new QCheckBox(QStringLiteral("Port Com Automatic"), column), "CheckBoxComAuto");
  autoComPortCheck->setToolTip(QStringLiteral("Only for Widows 10 and Bluegiga driver"));
  autoComPortCheck->setChecked(true);
  box->addWidget(autoComPortCheck);

  setComPortButton = makeButton(column, "ButtonSetCom", QStringLiteral("Set Com"));
  setComPortButton->setToolTip(QStringLiteral("Close and open program after changes"));
  setComPortButton->setFixedSize(188, 35);
  // The button comes and goes with the automatic mode; its place stays so nothing jumps.
  QSizePolicy keepPlace = setComPortButton->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  setComPortButton->setSizePolicy(keepPlace);
  setComPortButton->setVisible(false);
  box->addWidget(setComPortButton, 0, Qt::AlignLeft);
  return column;
}

}  // namespace kelvaro
