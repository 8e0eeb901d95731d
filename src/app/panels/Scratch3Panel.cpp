#include "app/panels/Scratch3Panel.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/pages/Scratch3Group.h"

namespace kelvaro {

Scratch3Panel::Scratch3Panel(Scratch3Group& group, ConsoleLog& console, const MonitorCore& core,
                             QObject* parent)
    : QObject(parent), group_(group), bridge_(console, core) {
  connect(group.enableCheck, &QCheckBox::toggled, this, &Scratch3Panel::switched);
  connect(group.copyButton, &QPushButton::clicked, this, [this] {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
      clipboard->setText(group_.addressEdit->text());
    }
  });
  connect(&bridge_, &BeltBridge::editorsChanged, this, &Scratch3Panel::showState);
  showState();
}

void Scratch3Panel::apply(const Scratch3Settings& settings) {
  settings_ = settings;
  if (group_.enableCheck->isChecked() == settings.enabled) {
    showState();
  } else {
    group_.enableCheck->setChecked(settings.enabled);
  }
}

void Scratch3Panel::switched(bool on) {
  if (on) {
    bridge_.start(static_cast<std::uint16_t>(settings_.port), OriginList::parse(settings_.origins));
  } else {
    bridge_.stop();
  }
  showState();
}

void Scratch3Panel::showState() {
  const bool serving = bridge_.isServing();
  const auto port = serving ? bridge_.port() : static_cast<std::uint16_t>(settings_.port);
  group_.addressEdit->setText(BeltBridge::extensionAddress(port));
  QString status;
  if (serving) {
    status = QStringLiteral("Editors connected: %1").arg(bridge_.editorCount());
  } else if (group_.enableCheck->isChecked() && !bridge_.problem().isEmpty()) {
    QString problem = bridge_.problem();
    problem[0] = problem[0].toUpper();
    status = QStringLiteral("Not serving: %1").arg(problem);
  } else {
    status = QStringLiteral("Off");
  }
  group_.statusLabel->setText(status);
}

}  // namespace kelvaro
