#pragma once

#include <QAccessible>
#include <QList>
#include <QString>
#include <QStringList>
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

inline QAccessible::State accessibleState(QWidget* widget) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
  return iface ? iface->state() : QAccessible::State();
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

// The page tabs assistive technology is offered by a tab bar, by their names, in order; the
// current one (Qt marks it focused) in `current` when asked.
inline QStringList accessibleTabs(QWidget* tabBar, QString* current = nullptr) {
  QStringList names;
  QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(tabBar);
  if (!bar) return names;
  for (int i = 0; i < bar->childCount(); ++i) {
    QAccessibleInterface* tab = bar->child(i);
    if (!tab || tab->role() != QAccessible::PageTab) continue;
    names << tab->text(QAccessible::Name);
    if (current && tab->state().focused) *current = tab->text(QAccessible::Name);
  }
  return names;
}

// Whether `object` can be reached in the accessibility tree below `root`, as a screen reader
// moving through the window's objects would.
inline bool inAccessibleTree(QWidget* root, QObject* object) {
  QList<QAccessibleInterface*> open{QAccessible::queryAccessibleInterface(root)};
  while (!open.isEmpty()) {
    QAccessibleInterface* node = open.takeLast();
    if (!node) continue;
    if (node->object() == object) return true;
    for (int i = 0; i < node->childCount(); ++i) open << node->child(i);
  }
  return false;
}

}  // namespace kelvaro::testing
