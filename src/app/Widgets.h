#pragma once

#include <QAbstractButton>
#include <QPushButton>
#include <QSize>
#include <QString>
#include <QWidget>
#include <type_traits>

namespace kelvaro::ui {

// Every control gets the name the rest of the program (and the tests) know it by, and an
// accessible name: its caption, or for a control without one the text of the label beside it.
template <class W>
W* named(W* widget, const char* objectName, const QString& accessibleName = QString()) {
  widget->setObjectName(QString::fromLatin1(objectName));
  QString accessible = accessibleName;
  if (accessible.isEmpty()) {
    if constexpr (std::is_base_of_v<QAbstractButton, W>) accessible = widget->text();
  }
  if (!accessible.isEmpty()) widget->setAccessibleName(accessible.trimmed());
  return widget;
}

// A named push button, at least `minimum` in size.
inline QPushButton* button(QWidget* parent, const char* objectName, const QString& caption,
                           QSize minimum = QSize()) {
  auto* b = named(new QPushButton(caption, parent), objectName);
  if (minimum.isValid()) b->setMinimumSize(minimum);
  return b;
}

}  // namespace kelvaro::ui
