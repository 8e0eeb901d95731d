#include <QFocusEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "widgets/NumberEdit.h"

namespace kelvaro {
namespace {

NumberEdit* slopeField(QWidget& parent) {
  auto* edit = new NumberEdit(QStringLiteral("0000"), &parent);
  edit->setRange(-1000, 20000);
  return edit;
}

TEST(NumberEdit, ShowsItsValueThroughThePicture) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{500, "0500"}, {0, "0000"},      {750.4, "0750"},  {750.5, "0751"},
               {-4, "-0004"}, {20000, "20000"}, {-1000, "-1000"}, {0.4, "0000"}};
  QWidget parent;
  NumberEdit* edit = slopeField(parent);
  for (const auto& c : cases) {
    edit->setValue(c.value);
    EXPECT_EQ(edit->text(), QString::fromLatin1(c.text)) << c.value;
    EXPECT_DOUBLE_EQ(edit->value(), c.value);
  }
}

TEST(NumberEdit, TakesTheTypedNumberWhenConfirmed) {
  const struct {
    const char* typed;
    bool byEnter;  // otherwise by leaving the field
    double value;
    const char* shown;
  } cases[] = {
      {"750", true, 750, "0750"},         {"750.5", true, 750.5, "0751"},
      {"-12.25", false, -12.25, "-0012"}, {"30000", true, 20000, "20000"},
      {"30000", false, 20000, "20000"},   {"-2000", false, -1000, "-1000"},
      {"1e3", true, 1000, "1000"},        {"12a3", true, 123, "0123"},
      {"7,5", true, 75, "0075"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    QWidget parent;
    NumberEdit* edit = slopeField(parent);
    edit->setValue(500);
    QSignalSpy finished(edit, &QAbstractSpinBox::editingFinished);
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromLatin1(c.typed));
    if (c.byEnter) {
      QTest::keyClick(edit, Qt::Key_Return);
    } else {
      QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
      QApplication::sendEvent(edit, &leave);
    }
    EXPECT_DOUBLE_EQ(edit->value(), c.value);
    EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown));
    if (c.byEnter) {
      EXPECT_EQ(finished.count(), 1);
    }
  }
}

}  // namespace
}  // namespace kelvaro
