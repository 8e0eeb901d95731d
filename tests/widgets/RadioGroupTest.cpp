#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "widgets/RadioGroup.h"

namespace kelvaro {
namespace {

TEST(RadioGroup, OutOfRangeIndexClearsSelection) {
  RadioGroup group(QStringLiteral("Keys"));
  group.setItems({"a", "b", "c"});
  QSignalSpy spy(&group, &RadioGroup::itemIndexChanged);
  const struct {
    int set;
    int expected;
  } cases[] = {{2, 2}, {5, -1}, {0, 0}, {-5, -1}, {1, 1}, {-1, -1}};
  for (const auto& c : cases) {
    group.setItemIndex(c.set);
    EXPECT_EQ(group.itemIndex(), c.expected) << c.set;
    int checked = -1;
    for (int i = 0; i < group.count(); ++i) {
      auto* b = group.findChild<QRadioButton*>(QStringLiteral("_item%1").arg(i));
      if (b && b->isChecked() && !b->isHidden()) checked = i;
    }
    EXPECT_EQ(checked, c.expected) << c.set;
  }
  EXPECT_EQ(spy.count(), 6);
}

TEST(RadioGroup, ClickSelectsAndSignalsOnce) {
  RadioGroup group(QStringLiteral("Users"));
  group.setItems({"x", "y"});
  QSignalSpy spy(&group, &RadioGroup::itemIndexChanged);
  auto* y = group.findChild<QRadioButton*>(QStringLiteral("_item1"));
  ASSERT_NE(y, nullptr);
  y->click();
  EXPECT_EQ(group.itemIndex(), 1);
  y->click();
  EXPECT_EQ(spy.count(), 1);
}

// Screen readers and switch access check an item through its accessible action, which toggles
// the button without a click; the selection must follow all the same.
TEST(RadioGroup, AnItemCheckedThroughItsAccessibleActionIsSelected) {
  RadioGroup group(QStringLiteral("Key Selection"));
  group.setItems({"x", "y", "z"});
  group.setItemIndex(0);
  QSignalSpy spy(&group, &RadioGroup::itemIndexChanged);
  auto* z = group.findChild<QRadioButton*>(QStringLiteral("_item2"));
  ASSERT_NE(z, nullptr);
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(z);
  ASSERT_NE(iface, nullptr);
  ASSERT_NE(iface->actionInterface(), nullptr);
  const QString toggle = QAccessibleActionInterface::toggleAction();
  ASSERT_TRUE(iface->actionInterface()->actionNames().contains(toggle));

  iface->actionInterface()->doAction(toggle);

  EXPECT_TRUE(z->isChecked());
  EXPECT_EQ(group.itemIndex(), 2);
  EXPECT_EQ(spy.count(), 1);
}

TEST(RadioGroup, RemovingItemsKeepsTheSelectionOnTheSameName) {
  RadioGroup group(QStringLiteral("Users"));
  group.setItems({"a", "b", "c"});
  group.setItemIndex(2);
  group.removeItem(0);
  EXPECT_EQ(group.items(), QStringList({"b", "c"}));
  EXPECT_EQ(group.itemIndex(), 1);
  group.removeItem(1);
  EXPECT_EQ(group.itemIndex(), -1);
}

TEST(RadioGroup, ReplacedItemsKeepTheGroupsPlaceInTheTabOrder) {
  QWidget window;
  auto* before = new QPushButton(QStringLiteral("before"), &window);
  auto* group = new RadioGroup(QStringLiteral("Users"), &window);
  auto* after = new QPushButton(QStringLiteral("after"), &window);
  group->setItems({"a", "b"});
  group->setItems({"c", "d", "e"});
  QWidget* w = before->nextInFocusChain();
  QStringList order;
  while (w && w != after) {
    if (auto* r = qobject_cast<QRadioButton*>(w); r && !r->isHidden()) order << r->text();
    w = w->nextInFocusChain();
  }
  EXPECT_EQ(order, QStringList({"c", "d", "e"}));
  EXPECT_EQ(w, after);
}

}  // namespace
}  // namespace kelvaro
