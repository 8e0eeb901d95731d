#include "app/ComSetupDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Widgets.h"
#include "link/PortSelection.h"
#include "platform/PortCatalog.h"

namespace kelvaro::ui {
namespace {

QComboBox* makeList(QWidget* parent, const char* name, const QString& label,
                    const QStringList& items, const QString& current) {
  auto* combo = named(new QComboBox(parent), name, label);
  combo->addItems(items);
  combo->setCurrentIndex(static_cast<int>(items.indexOf(current)));
  return combo;
}

}  // namespace

TComSetupFrm::TComSetupFrm(const PortCatalog& catalog, const ComPortConfig& current,
                           QWidget* parent)
    : QDialog(parent), current_(current) {
  setWindowTitle(QStringLiteral("Setup"));
  setObjectName(QStringLiteral("TComSetupFrm"));

  QStringList ports;
  for (const SerialPortRecord& port : catalog.presentPorts()) {
    if (!port.portName.isEmpty() && !ports.contains(port.portName)) ports.append(port.portName);
  }
  if (!ports.contains(current.port)) ports.prepend(current.port);

  GroupSettings = named(new QGroupBox(QStringLiteral(" Settings "), this), "GroupSettings");
  const SerialSettings& s = current.settings;
  ComboPort = makeList(GroupSettings, "ComboPort", QStringLiteral("Port"), ports, current.port);
  ComboBaudRate = makeList(GroupSettings, "ComboBaudRate", QStringLiteral("Baud rate"),
                           comport::baudRateTexts(), comport::baudRateText(current));
  ComboDataBits = makeList(GroupSettings, "ComboDataBits", QStringLiteral("Data bits"),
                           comport::dataBitsTexts(), comport::dataBitsText(s.dataBits));
  ComboStopBits = makeList(GroupSettings, "ComboStopBits", QStringLiteral("Stop bits"),
                           comport::stopBitsTexts(), comport::stopBitsText(s.stopBits));
  ComboParity = makeList(GroupSettings, "ComboParity", QStringLiteral("Parity"),
                         comport::parityTexts(), comport::parityText(s.parity));
  ComboFlowControl = makeList(GroupSettings, "ComboFlowControl", QStringLiteral("Flow control"),
                              comport::flowControlTexts(), comport::flowControlText(s));

  auto* form = new QFormLayout(GroupSettings);
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  const std::pair<const char*, QComboBox*> rows[] = {
      {"Port", ComboPort},          {"Baud rate", ComboBaudRate},
      {"Data bits", ComboDataBits}, {"Stop bits", ComboStopBits},
      {"Parity", ComboParity},      {"Flow control", ComboFlowControl},
  };
  for (const auto& [text, combo] : rows) {
    auto* label = new QLabel(QString::fromLatin1(text), GroupSettings);
    label->setBuddy(combo);
    form->addRow(label, combo);
  }
  // Device paths are longer than COM names; keep them readable.
  ComboPort->setMinimumContentsLength(14);
  ComboPort->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

  ButtonOK = named(new QPushButton(QStringLiteral("OK"), this), "ButtonOK");
  ButtonCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "ButtonCancel");
  ButtonOK->setDefault(true);
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ButtonOK);
  buttons->addWidget(ButtonCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(GroupSettings);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

ComPortConfig TComSetupFrm::chosenConfig() const {
  ComPortConfig config = current_;
  config.port = ComboPort->currentText();
  comport::setBaudRateText(config, ComboBaudRate->currentText());
  comport::setDataBitsText(config.settings, ComboDataBits->currentText());
  comport::setStopBitsText(config.settings, ComboStopBits->currentText());
  comport::setParityText(config.settings, ComboParity->currentText());
  comport::setFlowControlText(config.settings, ComboFlowControl->currentText());
  return config;
}

void EditPortSettings(QWidget* parent, const PortCatalog& catalog, PortSelection& selection) {
  TComSetupFrm dialog(catalog, selection.config(), parent);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  const ComPortConfig chosen = accepted ? dialog.chosenConfig() : selection.config();
  selection.storeConfig(chosen);
  if (accepted) selection.applyConfig(chosen);
}

}  // namespace kelvaro::ui
