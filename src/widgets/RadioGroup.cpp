#include "widgets/RadioGroup.h"

#include <QGridLayout>
#include <QRadioButton>

namespace kelvaro {

RadioGroup::RadioGroup(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent), grid_(new QGridLayout(this)) {
  setAccessibleName(caption);
  buttons_.setExclusive(true);
  // The checked item, not the click: a screen reader or switch access checks an item through its
  // accessible action, which toggles the button without clicking it.
  connect(&buttons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked && id != index_) {
      index_ = id;
      emit itemIndexChanged(index_);
    }
  });
}

void RadioGroup::setItems(const QStringList& items) {
  items_ = items;
  if (index_ >= items_.size()) index_ = -1;
  rebuild();
}

void RadioGroup::addItem(const QString& item) {
  items_.append(item);
  rebuild();
}

void RadioGroup::removeItem(int index) {
  if (index < 0 || index >= items_.size()) return;
  items_.removeAt(index);
  const int old = index_;
  if (index_ == index) {
    index_ = -1;
  } else if (index_ > index) {
    --index_;
  }
  rebuild();
  if (old == index) emit itemIndexChanged(index_);
}

void RadioGroup::setItemText(int index, const QString& text) {
  if (index < 0 || index >= items_.size()) return;
  items_[index] = text;
  if (auto* b = buttons_.button(index)) {
    b->setText(text);
    b->setAccessibleName(text);
  }
}

void RadioGroup::clearItems() {
  const bool hadSelection = index_ != -1;
  items_.clear();
  index_ = -1;
  rebuild();
  if (hadSelection) emit itemIndexChanged(index_);
}

void RadioGroup::setItemIndex(int index) {
  if (index < 0 || index >= items_.size()) index = -1;
  if (index == index_) return;
  index_ = index;
  if (index_ >= 0) {
    buttons_.button(index_)->setChecked(true);
  } else if (auto* checked = buttons_.checkedButton()) {
    buttons_.setExclusive(false);
    checked->setChecked(false);
    buttons_.setExclusive(true);
  }
  emit itemIndexChanged(index_);
}

void RadioGroup::setColumns(int columns) {
  columns_ = std::max(1, columns);
  rebuild();
}

void RadioGroup::rebuild() {
  for (auto* b : buttons_.buttons()) {
    buttons_.removeButton(b);
    grid_->removeWidget(b);
    b->hide();
    // Its name goes with it at once, so that the item's name finds only the new button.
    b->setObjectName(QString());
    b->deleteLater();
  }
  const int rows = (items_.size() + columns_ - 1) / columns_;
  // Items stack from the top; the space below them stays empty.
  grid_->setRowStretch(stretchRow_, 0);
  stretchRow_ = rows;
  grid_->setRowStretch(stretchRow_, 1);
  for (int i = 0; i < items_.size(); ++i) {
    auto* b = new QRadioButton(items_.at(i), this);
    b->setObjectName(objectName() + QStringLiteral("_item%1").arg(i));
    b->setAccessibleName(items_.at(i));
    buttons_.addButton(b, i);
    grid_->addWidget(b, rows > 0 ? i % rows : 0, rows > 0 ? i / rows : 0);
    if (i == index_) b->setChecked(true);
  }
  // New buttons would otherwise land at the end of the window's Tab order. setTabOrder ignores
  // widgets that take no focus, so the group takes Tab focus just while its buttons are chained.
  const auto policy = focusPolicy();
  setFocusPolicy(Qt::TabFocus);
  QWidget* previous = this;
  for (auto* b : buttons_.buttons()) {
    QWidget::setTabOrder(previous, b);
    previous = b;
  }
  setFocusPolicy(policy);
}

}  // namespace kelvaro
