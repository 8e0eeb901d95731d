#pragma once

#include <QAccessible>
#include <QString>
#include <QWidget>

namespace kelvaro::testing {

// What assistive technology reads from a widget, through Qt's accessibility interface.
inline QString accessibleText(QWidget* widget, QAccessible::Text text) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
  return iface ? iface->text(text) : QStringLiteral("<no accessible interface>");
}
inline QString accessibleName(QWidget* w) { return accessibleText(w, QAccessible::Name); }
inline QString accessibleValue(QWidget* w) { return accessibleText(w, QAccessible::Value); }
inline QString accessibleDescription(QWidget* w) {
  return accessibleText(w, QAccessible::Description);
}

// Whether `label` is exposed as the label of `widget` (QLabel::setBuddy).
inline bool labelledBy(QWidget* widget, QWidget* label) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
  if (!iface) return false;
  for (const auto& [other, relation] : iface->relations(QAccessible::Label)) {
    if (other->object() == label) return true;
  }
  return false;
}

}  // namespace kelvaro::testing
