#include "app/panels/KeysPanel.h"

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include "app/pages/GamingKeysPage.h"
#include "app/pages/SpecSettingPage.h"
#include "base/ConsoleLog.h"
#include "keys/KeyTriggers.h"
#include "widgets/RadioGroup.h"
#include "widgets/ShapeIndicator.h"

namespace kelvaro {
namespace {

// The key page's position among the visible tabs at which a new key selection switches the key
// activation off.
constexpr int kKeyPageTab = 3;

}  // namespace

KeysPanel::KeysPanel(GamingKeysPage& keys, SpecSettingPage& accelPage,
                     ShapeIndicator& liveGraphLamp, QTabWidget& pages, ConsoleLog& console,
                     std::function<void(const Values&)> changed, QObject* parent)
    : QObject(parent),
      keys_(keys),
      accelPage_(accelPage),
      liveGraphLamp_(liveGraphLamp),
      pages_(pages),
      console_(console),
      changed_(std::move(changed)) {
  connect(keys_.thresholdSlider, &QSlider::valueChanged, this, [this](int position) {
    keys_.forceThresholdSpin->setValue(keys_.thresholdSlider->maximum() - position);
  });
  connect(keys_.keySelection, &RadioGroup::itemIndexChanged, this, &KeysPanel::keySelectionClicked);
  for (QSpinBox* field :
       {keys_.forceThresholdSpin, keys_.forceKeySpin, accelPage_.accelLowXSpin,
        accelPage_.accelLowYSpin, accelPage_.accelLowZSpin, accelPage_.accelHighXSpin,
        accelPage_.accelHighYSpin, accelPage_.accelHighZSpin, accelPage_.keyLowXSpin,
        accelPage_.keyLowYSpin, accelPage_.keyLowZSpin, accelPage_.keyHighXSpin,
        accelPage_.keyHighYSpin, accelPage_.keyHighZSpin}) {
    connect(field, &QSpinBox::valueChanged, this, &KeysPanel::applyFields);
  }
  connect(keys_.keyActivationCheck, &QCheckBox::toggled, this, &KeysPanel::applyFields);
  // The focus leaves the box for the sink, so that the keys the belt sends into this window do
  // not toggle it or move through the page.
  connect(keys_.keyActivationCheck, &QCheckBox::clicked, this,
          [this] { keys_.focusSpin->setFocus(); });
  connect(&pages_, &QTabWidget::currentChanged, this, [this] {
    if (pages_.currentWidget() == &keys_) keys_.focusSpin->setFocus();
  });
  activeBox_ = keys_.keyActivationCheck;
  activeBox_->installEventFilter(this);
  // The bar's orange, whatever the style's own colour.
  QPalette palette = keys_.forceBar->palette();
  palette.setColor(QPalette::Highlight, QColor(255, 128, 0));
  keys_.forceBar->setPalette(palette);
}

KeysPanel::Values KeysPanel::values() const {
  Values v;
  v.active = keys_.keyActivationCheck->isChecked();
  v.forceThreshold = keys_.forceThresholdSpin->value();
  v.forceKey = keys_.forceKeySpin->value() & 0xFF;
  const QSpinBox* low[] = {accelPage_.accelLowXSpin, accelPage_.accelLowYSpin,
                           accelPage_.accelLowZSpin};
  const QSpinBox* high[] = {accelPage_.accelHighXSpin, accelPage_.accelHighYSpin,
                            accelPage_.accelHighZSpin};
  const QSpinBox* lowKey[] = {accelPage_.keyLowXSpin, accelPage_.keyLowYSpin,
                              accelPage_.keyLowZSpin};
  const QSpinBox* highKey[] = {accelPage_.keyHighXSpin, accelPage_.keyHighYSpin,
                               accelPage_.keyHighZSpin};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    v.lowLimits[axis] = low[axis]->value();
    v.highLimits[axis] = high[axis]->value();
    v.lowKeys[axis] = lowKey[axis]->value() & 0xFF;
    v.highKeys[axis] = highKey[axis]->value() & 0xFF;
  }
  return v;
}

void KeysPanel::applyFields() {
  if (changed_) changed_(values());
}

void KeysPanel::showForceAbove(bool above) {
  const QColor colour = above ? QColor(0, 255, 0) : QColor(255, 0, 0);
  keys_.keysIndicator->setColor(colour);
  liveGraphLamp_.setColor(colour);
}

void KeysPanel::keySelectionClicked(int index) {
  const int key = keyCodeForSelection(index);
  if (key < 0) return;
  keys_.forceKeySpin->setValue(key);
  // A hidden page has no tab, so the index counts the shown tabs only.
  if (pages_.currentIndex() == kKeyPageTab) {
    keys_.keyActivationCheck->setChecked(false);
    keys_.focusSpin->setFocus();
  }
}

bool KeysPanel::eventFilter(QObject* watched, QEvent* event) {
  // Only the box itself is looked at: its events go on while the page around it is torn down.
  if (watched == activeBox_ && activeBox_->hasFocus()) {
    if (event->type() == QEvent::KeyPress) {
      console_.append(QStringLiteral("Down"));
      // A key that makes a character gives its character event too.
      if (!static_cast<QKeyEvent*>(event)->text().isEmpty()) {
        console_.append(QStringLiteral("Press"));
      }
    } else if (event->type() == QEvent::KeyRelease) {
      console_.append(QStringLiteral("Up"));
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kelvaro
