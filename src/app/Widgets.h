#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QSize>
#include <QString>
#include <QWidget>
#include <type_traits>

namespace kelvaro {

// Every control gets the name the rest of the program (and the tests) know it by. What assistive
// tools read follows one rule:
// - a control with a caption of its own (a button, a box) is named by its caption;
// - an input without one (an edit, a spin box, a slider, a grid) is named by the label beside it,
//   passed as `caption` (and, where that label is a QLabel, made its buddy by the page);
// - a label shows something, and what it shows stays its name, as Qt has it; a caption given for
//   a label (the read-out "-027" beside "Force 1") becomes its description, heard with it.
template <class W>
W* named(W* widget, const char* objectName, const QString& caption = QString()) {
  widget->setObjectName(QString::fromLatin1(objectName));
  QString accessible = caption.trimmed();
  if constexpr (std::is_base_of_v<QLabel, W>) {
    if (!accessible.isEmpty()) widget->setAccessibleDescription(accessible);
  } else {
    if constexpr (std::is_base_of_v<QAbstractButton, W>) {
      if (accessible.isEmpty()) accessible = widget->text().trimmed();
    }
    if (!accessible.isEmpty()) widget->setAccessibleName(accessible);
  }
  return widget;
}

// A named push button, at least `minimum` in size.
inline QPushButton* button(QWidget* parent, const char* objectName, const QString& caption,
                           QSize minimum = QSize()) {
  auto* b = named(new QPushButton(caption, parent), objectName);
  if (minimum.isValid()) b->setMinimumSize(minimum);
  return b;
}

}  // namespace kelvaro
