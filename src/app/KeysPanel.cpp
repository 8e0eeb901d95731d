#include "app/KeysPanel.h"

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include "app/GamingKeysPage.h"
#include "app/SpecSettingPage.h"
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

KeysPanel::KeysPanel(ui::GamingKeysPage& keys, ui::SpecSettingPage& accelPage,
                     ui::ShapeIndicator& liveGraphLamp, QTabWidget& pages, ConsoleLog& console,
                     std::function<void(const Values&)> changed, QObject* parent)
    : QObject(parent),
      keys_(keys),
      accelPage_(accelPage),
      liveGraphLamp_(liveGraphLamp),
      pages_(pages),
      console_(console),
      changed_(std::move(changed)) {
  connect(keys_.TrackBar1, &QSlider::valueChanged, this, [this](int position) {
    keys_.SpinEditF1->setValue(keys_.TrackBar1->maximum() - position);
  });
  connect(keys_.RadioGroup1, &ui::RadioGroup::itemIndexChanged, this, &KeysPanel::RadioGroup1Click);
  for (QSpinBox* field :
       {keys_.SpinEditF1, keys_.SpinEditKeyF1, accelPage_.SpinEditACLX, accelPage_.SpinEditACLY,
        accelPage_.SpinEditACLZ, accelPage_.SpinEditACHX, accelPage_.SpinEditACHY,
        accelPage_.SpinEditACHZ, accelPage_.SpinEditKeyLX, accelPage_.SpinEditKeyLY,
        accelPage_.SpinEditKeyLZ, accelPage_.SpinEditKeyHX, accelPage_.SpinEditKeyHY,
        accelPage_.SpinEditKeyHZ}) {
    connect(field, &QSpinBox::valueChanged, this, &KeysPanel::Aktualizace);
  }
  connect(keys_.CheckBoxKeyActive, &QCheckBox::toggled, this, &KeysPanel::Aktualizace);
  // The focus leaves the box for the sink, so that the keys the belt sends into this window do
  // not toggle it or move through the page.
  connect(keys_.CheckBoxKeyActive, &QCheckBox::clicked, this,
          [this] { keys_.SpinEditFoc->setFocus(); });
  connect(&pages_, &QTabWidget::currentChanged, this, [this] {
    if (pages_.currentWidget() == &keys_) keys_.SpinEditFoc->setFocus();
  });
  activeBox_ = keys_.CheckBoxKeyActive;
  activeBox_->installEventFilter(this);
  // The bar's orange, whatever the style's own colour.
  QPalette palette = keys_.ProgressBar1->palette();
  palette.setColor(QPalette::Highlight, QColor(255, 128, 0));
  keys_.ProgressBar1->setPalette(palette);
}

KeysPanel::Values KeysPanel::values() const {
  Values v;
  v.active = keys_.CheckBoxKeyActive->isChecked();
  v.forceThreshold = keys_.SpinEditF1->value();
  v.forceKey = keys_.SpinEditKeyF1->value() & 0xFF;
  const QSpinBox* low[] = {accelPage_.SpinEditACLX, accelPage_.SpinEditACLY,
                           accelPage_.SpinEditACLZ};
  const QSpinBox* high[] = {accelPage_.SpinEditACHX, accelPage_.SpinEditACHY,
                            accelPage_.SpinEditACHZ};
  const QSpinBox* lowKey[] = {accelPage_.SpinEditKeyLX, accelPage_.SpinEditKeyLY,
                              accelPage_.SpinEditKeyLZ};
  const QSpinBox* highKey[] = {accelPage_.SpinEditKeyHX, accelPage_.SpinEditKeyHY,
                               accelPage_.SpinEditKeyHZ};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    v.lowLimits[axis] = low[axis]->value();
    v.highLimits[axis] = high[axis]->value();
    v.lowKeys[axis] = lowKey[axis]->value() & 0xFF;
    v.highKeys[axis] = highKey[axis]->value() & 0xFF;
  }
  return v;
}

void KeysPanel::Aktualizace() {
  if (changed_) changed_(values());
}

void KeysPanel::showForceAbove(bool above) {
  const QColor colour = above ? QColor(0, 255, 0) : QColor(255, 0, 0);
  keys_.Shape2->setColor(colour);
  liveGraphLamp_.setColor(colour);
}

void KeysPanel::RadioGroup1Click(int index) {
  const int key = keyCodeForSelection(index);
  if (key < 0) return;
  keys_.SpinEditKeyF1->setValue(key);
  // A hidden page has no tab, so the index counts the shown tabs only.
  if (pages_.currentIndex() == kKeyPageTab) {
    keys_.CheckBoxKeyActive->setChecked(false);
    keys_.SpinEditFoc->setFocus();
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
