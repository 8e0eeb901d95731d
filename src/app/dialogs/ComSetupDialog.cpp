#include "app/dialogs/ComSetupDialog.h"

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

namespace kelvaro {
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

  settingsGroup = named(new QGroupBox(QStringLiteral(" Settings "), this), "GroupSettings");
  const SerialSettings& s = current.settings;
  portCombo = makeList(settingsGroup, "ComboPort", QStringLiteral("Port"), ports, current.port);
  baudRateCombo = makeList(settingsGroup, "ComboBaudRate", QStringLiteral("Baud rate"),
                           comport::baudRateTexts(), comport::baudRateText(current));
  dataBitsCombo = makeList(settingsGroup, "ComboDataBits", QStringLiteral("Data bits"),
                           comport::dataBitsTexts(), comport::dataBitsText(s.dataBits));
  stopBitsCombo = makeList(settingsGroup, "ComboStopBits", QStringLiteral("Stop bits"),
                           comport::stopBitsTexts(), comport::stopBitsText(s.stopBits));
  parityCombo = makeList(settingsGroup, "ComboParity", QStringLiteral("Parity"),
                         comport::parityTexts(), comport::parityText(s.parity));
  flowControlCombo = makeList(settingsGroup, "ComboFlowControl", QStringLiteral("Flow control"),
                              comport::flowControlTexts(), comport::flowControlText(s));

  auto* form = new QFormLayout(settingsGroup);
  form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  const std::pair<const char*, QComboBox*> rows[] = {
      {"Port", portCombo},          {"Baud rate", baudRateCombo},
      {"Data bits", dataBitsCombo}, {"Stop bits", stopBitsCombo},
      {"Parity", parityCombo},      {"Flow control", flowControlCombo},
  };
  for (const auto& [text, combo] : rows) {
    auto* label = new QLabel(QString::fromLatin1(text), settingsGroup);
    label->setBuddy(combo);
    form->addRow(label, combo);
  }
  // Device paths are longer than COM names; keep them readable.
  portCombo->setMinimumContentsLength(14);
  portCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

  okButton = named(new QPushButton(QStringLiteral("OK"), this), "ButtonOK");
  cancelButton = named(new QPushButton(QStringLiteral("Cancel"), this), "ButtonCancel");
  okButton->setDefault(true);
  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(settingsGroup);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

ComPortConfig TComSetupFrm::chosenConfig() const {
  ComPortConfig config = current_;
  config.port = portCombo->currentText();
  comport::setBaudRateText(config, baudRateCombo->currentText());
  comport::setDataBitsText(config.settings, dataBitsCombo->currentText());
  comport::setStopBitsText(config.settings, stopBitsCombo->currentText());
  comport::setParityText(config.settings, parityCombo->currentText());
  comport::setFlowControlText(config.settings, flowControlCombo->currentText());
  return config;
}

void EditPortSettings(QWidget* parent, const PortCatalog& catalog, PortSelection& selection) {
  TComSetupFrm dialog(catalog, selection.config(), parent);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  const ComPortConfig chosen = accepted ? dialog.chosenConfig() : selection.config();
  selection.storeConfig(chosen);
  if (accepted) selection.applyConfig(chosen);
}

}  // namespace kelvaro
