#include "app/pages/Scratch3Group.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Widgets.h"

namespace kelvaro {

Scratch3Group::Scratch3Group(QWidget* parent) : QGroupBox(QStringLiteral("Scratch 3"), parent) {
  setObjectName(QStringLiteral("GroupScratch3"));
  auto* layout = new QGridLayout(this);
  enableCheck = named(new QCheckBox(QStringLiteral("Scratch 3"), this), "CheckBoxScratch3");
  enableCheck->setToolTip(tr("Serves the belt to Scratch 3 editors (TurboWarp) on this computer"));
  addressEdit = named(new QLineEdit(QStringLiteral("http://localhost:8000/kelvaro-belt.js"), this),
                      "EditScratch3Address", tr("Extension address"));
  addressEdit->setReadOnly(true);
  addressEdit->setMinimumWidth(
      QFontMetrics(addressEdit->font())
          .horizontalAdvance(QStringLiteral("http://localhost:00000/kelvaro-belt.js")) +
      16);
  addressLabel = named(new QLabel(tr("Extension address"), this), "LabelScratch3Address");
  addressLabel->setBuddy(addressEdit);
  copyButton = button(this, "ButtonScratch3Copy", QStringLiteral("Copy"));
  copyButton->setToolTip(tr("Copies the address, to paste into the editor"));
  copyButton->setAccessibleDescription(tr("Copies the extension address"));
  statusLabel = named(new QLabel(QStringLiteral("Off"), this), "LabelScratch3Editors",
                      tr("Scratch 3 editors"));
  layout->addWidget(enableCheck, 0, 0, 1, 3);
  layout->addWidget(addressLabel, 1, 0);
  layout->addWidget(addressEdit, 1, 1);
  layout->addWidget(copyButton, 1, 2);
  layout->addWidget(statusLabel, 2, 0, 1, 3);
  layout->setColumnStretch(1, 1);
}

}  // namespace kelvaro
