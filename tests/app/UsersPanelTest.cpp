// The users on the "Connection" page: the three buttons with the name field, the radio list that
// shows them, and what is stored at close.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "app/pages/ConnectionPage.h"
#include "widgets/RadioGroup.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

struct Step {
  const char* button;  // ButtonAdd, ButtonSetName, ButtonRemove, or a radio item to select
  const char* name;    // typed into EditName first
};

QStringList shown(MainWindow& w) { return w.pages().connection->usersRadioGroup->items(); }

TEST(UsersPanelTest, TheButtonsEditTheListAndTheSelectionFollows) {
  const struct {
    const char* title;
    std::vector<Step> steps;
    QStringList users;
    int selected;
  } cases[] = {
      {"add selects the new user", {{"ButtonAdd", "Anna"}}, {"---- 1", "Anna"}, 1},
      {"add an empty name and a repeated one",
       {{"ButtonAdd", ""}, {"ButtonAdd", "Bo"}, {"ButtonAdd", "Bo"}},
       {"---- 1", "", "Bo", "Bo"},
       3},
      {"rename the selected user", {{"ButtonSetName", "Carl"}}, {"Carl"}, 0},
      {"remove with one user does nothing", {{"ButtonRemove", ""}}, {"---- 1"}, 0},
      {"remove the middle user selects the one after it",
       {{"ButtonAdd", "b"}, {"ButtonAdd", "c"}, {"item1", ""}, {"ButtonRemove", ""}},
       {"---- 1", "c"},
       1},
      {"remove the last user selects the new last",
       {{"ButtonAdd", "b"}, {"ButtonAdd", "c"}, {"ButtonRemove", ""}},
       {"---- 1", "b"},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    WindowHarness h;
    h.startAnswered();
    MainWindow& w = *h.window;
    for (const Step& s : c.steps) {
      find<QLineEdit>(w, "EditName").setText(QString::fromUtf8(s.name));
      if (QByteArray(s.button).startsWith("item")) {
        find<QRadioButton>(w, (QByteArray("RadioGroupUsers_") + s.button).constData()).click();
      } else {
        find<QPushButton>(w, s.button).click();
      }
    }
    EXPECT_EQ(shown(w), c.users);
    EXPECT_EQ(w.pages().connection->usersRadioGroup->itemIndex(), c.selected);

    // What the list holds is what is stored.
    ASSERT_TRUE(w.close());
    const QStringList lines = h.darevLines().value_or(QStringList());
    EXPECT_TRUE(lines.contains(QStringLiteral("count=%1").arg(c.users.size())));
    for (int n = 0; n < c.users.size(); ++n) {
      EXPECT_TRUE(lines.contains(QStringLiteral("usr%1=%2").arg(n + 1).arg(c.users.at(n)))) << n;
    }
  }
}

TEST(UsersPanelTest, ACountOfZeroGivesAnEmptyListThatTheButtonsLeaveAlone) {
  WindowHarness h;
  h.writeDarev("[users]\ncount=0\n");
  h.startAnswered();
  MainWindow& w = *h.window;
  EXPECT_TRUE(shown(w).isEmpty());
  find<QLineEdit>(w, "EditName").setText(QStringLiteral("Dora"));
  find<QPushButton>(w, "ButtonSetName").click();
  find<QPushButton>(w, "ButtonRemove").click();
  EXPECT_TRUE(shown(w).isEmpty());
  find<QPushButton>(w, "ButtonAdd").click();
  EXPECT_EQ(shown(w), QStringList{"Dora"});
  EXPECT_EQ(w.pages().connection->usersRadioGroup->itemIndex(), 0);
}

}  // namespace
}  // namespace kelvaro
