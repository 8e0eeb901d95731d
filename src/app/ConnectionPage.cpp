#include "app/ConnectionPage.h"

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

namespace kelvaro::ui {
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

  setTabOrder(StringGridScan, ButtonConnect);
  setTabOrder(ButtonConnect, ButtonLastIDt2);
  setTabOrder(ButtonLastIDt2, ButtonReset2);
  setTabOrder(ButtonReset2, EditLastID);
  setTabOrder(EditLastID, Button11);
  setTabOrder(Button11, RadioGroupUsers);
  setTabOrder(RadioGroupUsers, EditName);
  setTabOrder(EditName, ButtonAdd);
  setTabOrder(ButtonAdd, ButtonSetName);
  setTabOrder(ButtonSetName, ButtonRemove);
  setTabOrder(ButtonRemove, CheckBoxComAuto);
  setTabOrder(CheckBoxComAuto, ButtonSetCom);
}

void ConnectionPage::changeEvent(QEvent* event) {
  // The heading row is drawn in the page's font like the rows, which a header does not inherit
  // by itself on every platform theme.
  if (event->type() == QEvent::FontChange) {
    StringGridScan->horizontalHeader()->setFont(StringGridScan->font());
    StringGridScan->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);
  }
  QWidget::changeEvent(event);
}

QWidget* ConnectionPage::buildScanColumn() {
  auto* column = new QWidget(this);
  auto* grid = new QGridLayout(column);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);

  StringGridScan = named(new QTableWidget(0, 4, column), "StringGridScan", tr("Scan list"));
  StringGridScan->setHorizontalHeaderLabels(
      {QString(), QString(), QStringLiteral("Device ID"), QStringLiteral("Signal [dB]")});
  StringGridScan->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGridScan->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGridScan->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab leaves the list instead of walking its cells; the arrow keys choose the row.
  StringGridScan->setTabKeyNavigation(false);
  StringGridScan->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGridScan->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  StringGridScan->verticalHeader()->hide();
  StringGridScan->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGridScan->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);
  StringGridScan->horizontalHeader()->setMinimumSectionSize(1);
  StringGridScan->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  StringGridScan->horizontalHeader()->setHighlightSections(false);
  StringGridScan->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  int tableWidth =
      2 * StringGridScan->frameWidth() + StringGridScan->verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < 4; ++c) {
    StringGridScan->setColumnWidth(c, kScanColumnWidths[c]);
    tableWidth += kScanColumnWidths[c];
  }
  StringGridScan->setFixedWidth(tableWidth);
  StringGridScan->setMinimumHeight(160);
  grid->addWidget(StringGridScan, 0, 0, 1, 3);
  grid->setRowStretch(0, 1);

  Label33 =
      named(new QLabel(QStringLiteral("Kelvaro ID is on the sensing device."), column), "Label33");
  grid->addWidget(Label33, 1, 0, 1, 3);

  ButtonConnect = makeButton(column, "ButtonConnect", QStringLiteral("Connect Selected"));
  ButtonLastIDt2 = makeButton(column, "ButtonLastIDt2", QStringLiteral("Connect Last"));
  ButtonReset2 = makeButton(column, "ButtonReset2", QStringLiteral("Connection Reset"));
  int column_index = 0;
  for (auto* b : {ButtonConnect, ButtonLastIDt2, ButtonReset2}) {
    b->setMinimumHeight(kConnectButtonHeight);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    grid->addWidget(b, 2, column_index++);
  }
  // Nothing to connect to until the scan has heard a device.
  ButtonConnect->setEnabled(false);
  ButtonLastIDt2->setEnabled(false);

  Label32 = named(new QLabel(QStringLiteral("Last ID"), column), "Label32");
  EditLastID = named(new QLineEdit(column), "EditLastID", Label32->text());
  Label32->setBuddy(EditLastID);
  grid->addWidget(Label32, 3, 1);
  grid->addWidget(EditLastID, 4, 1);

  Label34 = named(new QLabel(QStringLiteral("Look for the device with the strongest signal after "
                                            "you place the sensor to the closest proximity of "
                                            "your PC. "),
                             column),
                  "Label34");
  Label34->setWordWrap(true);
  grid->addWidget(Label34, 5, 0, 1, 3);
  Label35 = named(new QLabel(QStringLiteral("Example: (-40dB is stronger than -60dB)"), column),
                  "Label35");
  grid->addWidget(Label35, 6, 0, 1, 3);
  grid->setRowMinimumHeight(5, 50);
  return column;
}

QWidget* ConnectionPage::buildSideColumn() {
  auto* column = new QWidget(this);
  auto* box = new QVBoxLayout(column);
  box->setContentsMargins(0, 0, 0, 0);
  box->setSpacing(12);

  Button11 = makeButton(column, "Button11", QStringLiteral("About"));
  Button11->setMinimumWidth(100);
  box->addWidget(Button11, 0, Qt::AlignRight);

  GroupUsers = named(new QGroupBox(QStringLiteral("User Selection and Management"), column),
                     "GroupUsers", QStringLiteral("User Selection and Management"));
  auto* users = new QHBoxLayout(GroupUsers);
  users->setSpacing(12);
  RadioGroupUsers = named(new RadioGroup(QStringLiteral("Users"), GroupUsers), "RadioGroupUsers",
                          QStringLiteral("Users"));
  // The window replaces this item with the stored users when it reads the settings.
  RadioGroupUsers->setItems({QStringLiteral("Default User")});
  RadioGroupUsers->setItemIndex(0);
  RadioGroupUsers->setMinimumWidth(200);
  users->addWidget(RadioGroupUsers, 1);

  auto* actions = new QVBoxLayout;
  actions->setSpacing(8);
  EditName = named(new QLineEdit(QStringLiteral("New User Name"), GroupUsers), "EditName",
                   tr("User name"));
  EditName->setMinimumWidth(180);
  ButtonAdd = makeButton(GroupUsers, "ButtonAdd", QStringLiteral("Add New User"));
  ButtonSetName = makeButton(GroupUsers, "ButtonSetName", QStringLiteral("Set Name"));
  ButtonRemove = makeButton(GroupUsers, "ButtonRemove", QStringLiteral("Remove User"));
  actions->addWidget(EditName);
  for (auto* b : {ButtonAdd, ButtonSetName, ButtonRemove}) {
    b->setMinimumHeight(35);
    actions->addWidget(b);
  }
  actions->addStretch(1);
  users->addLayout(actions);
  box->addWidget(GroupUsers);
  box->addStretch(1);

  CheckBoxComAuto =
      named(new QCheckBox(QStringLiteral("Port Com Automatic"), column), "CheckBoxComAuto");
  CheckBoxComAuto->setToolTip(QStringLiteral("Only for Widows 10 and Bluegiga driver"));
  CheckBoxComAuto->setChecked(true);
  box->addWidget(CheckBoxComAuto);

  ButtonSetCom = makeButton(column, "ButtonSetCom", QStringLiteral("Set Com"));
  ButtonSetCom->setToolTip(QStringLiteral("Close and open program after changes"));
  ButtonSetCom->setFixedSize(188, 35);
  // The button comes and goes with the automatic mode; its place stays so nothing jumps.
  QSizePolicy keepPlace = ButtonSetCom->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  ButtonSetCom->setSizePolicy(keepPlace);
  ButtonSetCom->setVisible(false);
  box->addWidget(ButtonSetCom, 0, Qt::AlignLeft);
  return column;
}

}  // namespace kelvaro::ui
