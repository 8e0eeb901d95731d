#include "app/dialogs/SerialPortListDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/Widgets.h"
#include "link/DonglePort.h"
#include "platform/PortCatalog.h"

namespace kelvaro {
namespace {

constexpr int kColumnPadding = 14;

enum Column { kPort, kDescription, kManufacturer, kLocation, kVidPid, kColumnCount };

QString vidPidText(const SerialPortRecord& port) {
  if (!port.hasVidPid) return QString();
  return QStringLiteral("%1:%2")
      .arg(port.vendorId, 4, 16, QLatin1Char('0'))
      .arg(port.productId, 4, 16, QLatin1Char('0'));
}

}  // namespace

SerialPortListDialog::SerialPortListDialog(const PortCatalog& catalog, QWidget* parent)
    : QDialog(parent), catalog_(catalog) {
  setWindowTitle(QStringLiteral("Serial ports"));
  setObjectName(QStringLiteral("SerialPortListDialog"));

  introLabel = named(new QLabel(QStringLiteral("Serial ports present now. The Bluetooth dongle "
                                               "has the USB id 2458:0001 and is shown in bold."),
                                this),
                     "LabelIntro");
  introLabel->setWordWrap(true);

  portTable =
      named(new QTableWidget(0, kColumnCount, this), "PortTable", QStringLiteral("Serial ports"));
  portTable->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("Description"),
                                        QStringLiteral("Manufacturer"), QStringLiteral("Location"),
                                        QStringLiteral("VID:PID")});
  portTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  portTable->setSelectionMode(QAbstractItemView::SingleSelection);
  portTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  portTable->verticalHeader()->hide();
  portTable->horizontalHeader()->setStretchLastSection(true);
  portTable->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  portTable->setMinimumSize(620, 220);

  refreshButton = named(new QPushButton(QStringLiteral("Refresh"), this), "ButtonRefresh");
  closeButton = named(new QPushButton(QStringLiteral("Close"), this), "ButtonClose");
  closeButton->setDefault(true);
  connect(refreshButton, &QPushButton::clicked, this, &SerialPortListDialog::refresh);
  connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(refreshButton);
  buttons->addStretch(1);
  buttons->addWidget(closeButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(introLabel);
  layout->addWidget(portTable, 1);
  layout->addLayout(buttons);

  refresh();
}

void SerialPortListDialog::showEvent(QShowEvent* event) {
  // Column widths depend on the fonts the table has once it is polished for the screen.
  fitColumns();
  QDialog::showEvent(event);
}

void SerialPortListDialog::fitColumns() {
  portTable->resizeColumnsToContents();
  // Room between columns, so that a bold row does not run into the next cell; the last column
  // stretches to the edge by itself.
  for (int column = 0; column + 1 < portTable->columnCount(); ++column) {
    portTable->setColumnWidth(column, portTable->columnWidth(column) + kColumnPadding);
  }
}

void SerialPortListDialog::refresh() {
  const QList<SerialPortRecord> ports = catalog_.presentPorts();
  portTable->clearContents();
  portTable->setRowCount(static_cast<int>(ports.size()));
  for (int row = 0; row < portTable->rowCount(); ++row) {
    const SerialPortRecord& port = ports[row];
    const QString texts[kColumnCount] = {port.portName, port.description, port.manufacturer,
                                         port.location, vidPidText(port)};
    const bool dongle = isDongleUsbDevice(port) || dongleComNumber(port.friendlyName).has_value();
    for (int column = 0; column < kColumnCount; ++column) {
      auto* item = new QTableWidgetItem(texts[column]);
      if (dongle) {
        QFont font = portTable->font();
        font.setBold(true);
        item->setFont(font);
      }
      portTable->setItem(row, column, item);
    }
  }
  fitColumns();
}

}  // namespace kelvaro
