#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "support/AccessibleChecks.h"

// Table checks shared by the page tests: every control is found by its name, has the expected
// kind, text and initial state, and can be told apart by assistive tools.
namespace kelvaro::pagechecks {

using kelvaro::testing::accessibleDescription;
using kelvaro::testing::accessibleName;
using kelvaro::testing::accessibleValue;
using kelvaro::testing::labelledBy;

struct ButtonCase {
  const char* name;
  const char* caption;
  bool enabled;
  bool shown;
  const char* tip;
};

struct CheckCase {
  const char* name;
  const char* caption;
  bool checked;
  const char* tip;
};

struct EditCase {
  const char* name;
  const char* text;
  bool readOnly;
  const char* accessible;
};

struct SpinCase {
  const char* name;
  int minimum;
  int maximum;
  int value;
};

struct LabelCase {
  const char* name;
  const char* text;
  const char* buddy;  // nullptr: none expected
};

inline QString latin(const char* s) { return QString::fromLatin1(s); }
inline QString utf8(const char* s) { return QString::fromUtf8(s); }

inline void checkButtons(QWidget& page, std::initializer_list<ButtonCase> cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto* b = page.findChild<QPushButton*>(latin(c.name));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->text(), utf8(c.caption));
    EXPECT_EQ(b->isEnabled(), c.enabled);
    EXPECT_EQ(!b->isHidden(), c.shown);
    EXPECT_EQ(b->toolTip(), utf8(c.tip));
    EXPECT_EQ(b->accessibleName(), utf8(c.caption).trimmed());
  }
}

inline void checkChecks(QWidget& page, std::initializer_list<CheckCase> cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto* b = page.findChild<QCheckBox*>(latin(c.name));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->text(), utf8(c.caption));
    EXPECT_EQ(b->isChecked(), c.checked);
    EXPECT_TRUE(b->isEnabled());
    EXPECT_EQ(b->toolTip(), utf8(c.tip));
    EXPECT_EQ(b->accessibleName(), utf8(c.caption));
  }
}

inline void checkEdits(QWidget& page, std::initializer_list<EditCase> cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto* e = page.findChild<QLineEdit*>(latin(c.name));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->text(), utf8(c.text));
    EXPECT_EQ(e->isReadOnly(), c.readOnly);
    EXPECT_TRUE(e->isEnabled());
    EXPECT_EQ(e->accessibleName(), utf8(c.accessible));
  }
}

inline void checkSpins(QWidget& page, std::initializer_list<SpinCase> cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto* s = page.findChild<QSpinBox*>(latin(c.name));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->minimum(), c.minimum);
    EXPECT_EQ(s->maximum(), c.maximum);
    EXPECT_EQ(s->value(), c.value);
    EXPECT_FALSE(s->accessibleName().isEmpty());
  }
}

inline void checkLabels(QWidget& page, std::initializer_list<LabelCase> cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto* l = page.findChild<QLabel*>(latin(c.name));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->text(), utf8(c.text));
    // What a label shows is what assistive tools read.
    EXPECT_EQ(accessibleName(l), utf8(c.text));
    if (c.buddy != nullptr) {
      ASSERT_NE(l->buddy(), nullptr);
      EXPECT_EQ(l->buddy()->objectName(), latin(c.buddy));
      EXPECT_TRUE(labelledBy(l->buddy(), l));
    }
  }
}

// The control a focus stop belongs to: the inner editor of a spin box, a radio item of a group
// or the tab bar of a tab widget count as their named owner.
inline QWidget* namedOwner(QWidget* w, QWidget* page) {
  while (w != nullptr && w != page &&
         (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")) ||
          w->objectName().contains(QLatin1String("_item")))) {
    w = w->parentWidget();
  }
  return w;
}

// Presses Tab from the first stop until the focus comes back to it; returns the names visited.
inline QStringList tabWalk(QWidget& page, QWidget* first) {
  page.show();
  page.activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(&page));
  first->setFocus(Qt::TabFocusReason);
  QStringList visited;
  for (int step = 0; step < 64; ++step) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) break;
    const QString name = namedOwner(focus, &page)->objectName();
    if (!visited.isEmpty() && name == visited.first()) break;
    if (visited.isEmpty() || visited.last() != name) visited << name;
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  return visited;
}

// A focus path as one readable line for failure messages.
inline std::string joined(const QStringList& names) {
  return names.join(QLatin1String(" > ")).toStdString();
}

// Every enabled control on screen that takes the focus by Tab, by its named owner.
inline QStringList tabStops(QWidget& page) {
  QStringList names;
  for (auto* w : page.findChildren<QWidget*>()) {
    if (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || !w->isVisibleTo(&page)) continue;
    if (w->focusProxy() != nullptr) continue;
    const QString name = namedOwner(w, &page)->objectName();
    if (!names.contains(name)) names << name;
  }
  return names;
}

// Tab from `first` visits `expected` in order, and no other control of the page takes Tab focus.
inline void expectTabOrder(QWidget& page, QWidget* first, const QStringList& expected) {
  EXPECT_EQ(tabWalk(page, first), expected);
  QStringList stops = tabStops(page);
  stops.sort();
  QStringList sorted = expected;
  sorted.sort();
  EXPECT_EQ(stops, sorted);
}

// Where a named control sits within the page, in the page's coordinates.
inline QRect placeOf(QWidget& page, const char* name) {
  auto* w = page.findChild<QWidget*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  if (w == nullptr) return {};
  return QRect(w->mapTo(&page, QPoint(0, 0)), w->size());
}

}  // namespace kelvaro::pagechecks
