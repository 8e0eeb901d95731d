#include <QGroupBox>
#include <QHeaderView>
#include <QTableWidget>

#include <gtest/gtest.h>

#include "app/PageChecks.h"
#include "app/pages/ConnectionPage.h"
#include "widgets/RadioGroup.h"

namespace kelvaro {
namespace {

using namespace kelvaro::pagechecks;

TEST(ConnectionPage, ControlsStartAsDesigned) {
  ConnectionPage page;
  checkButtons(page,
               {
                   {"ButtonConnect", "Connect Selected", false, true, ""},
                   {"ButtonLastIDt2", "Connect Last", false, true, ""},
                   {"ButtonReset2", "Connection Reset", true, true, ""},
                   {"ButtonAdd", "Add New User", true, true, ""},
                   {"ButtonSetName", "Set Name", true, true, ""},
                   {"ButtonRemove", "Remove User", true, true, ""},
                   {"ButtonSetCom", "Set Com", true, false, "Close and open program after changes"},
                   {"Button11", "About", true, true, ""},
               });
  checkChecks(page, {{"CheckBoxComAuto", "Port Com Automatic", true,
                      "Only for Widows 10 and Bluegiga driver"}});
  checkEdits(page, {{"EditLastID", "", false, "Last ID"},
                    {"EditName", "New User Name", false, "User name"}});
  checkLabels(page,
              {{"Label33", "Kelvaro ID is on the sensing device.", nullptr},
               {"Label32", "Last ID", "EditLastID"},
               {"Label34",
                "Look for the device with the strongest signal after you place the sensor to the "
                "closest proximity of your PC. ",
                nullptr},
               {"Label35", "Example: (-40dB is stronger than -60dB)", nullptr}});
}

TEST(ConnectionPage, ScanListHasItsHeadingsAndNoDevices) {
  ConnectionPage page;
  auto* grid = page.findChild<QTableWidget*>(QStringLiteral("StringGridScan"));
  ASSERT_NE(grid, nullptr);
  EXPECT_FALSE(grid->accessibleName().isEmpty());
  EXPECT_EQ(grid->rowCount(), 0);
  ASSERT_EQ(grid->columnCount(), 4);
  const struct {
    const char* heading;
    int width;
  } columns[] = {{"", 26}, {"", 14}, {"Device ID", 216}, {"Signal [dB]", 201}};
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE(c);
    const auto* item = grid->horizontalHeaderItem(c);
    EXPECT_EQ(item ? item->text() : QString(), QString::fromLatin1(columns[c].heading));
    EXPECT_EQ(grid->columnWidth(c), columns[c].width);
  }
  EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(grid->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

  // The heading row follows the window's font like the rows do.
  QFont bold(QStringLiteral("Arial"));
  bold.setBold(true);
  page.setFont(bold);
  EXPECT_TRUE(grid->horizontalHeader()->font().bold());
  EXPECT_EQ(grid->horizontalHeader()->font().family(), grid->font().family());

  // A device row selects as a whole, so the current row is what "Connect Selected" takes.
  grid->setRowCount(2);
  grid->setItem(1, 2, new QTableWidgetItem(QStringLiteral("0007800A1B2C")));
  grid->selectRow(1);
  EXPECT_EQ(grid->selectionModel()->selectedIndexes().size(), 4);
  EXPECT_EQ(grid->currentRow(), 1);
}

TEST(ConnectionPage, UsersSitInTheirGroupWithTheDesignItem) {
  ConnectionPage page;
  auto* group = page.findChild<QGroupBox*>(QStringLiteral("GroupUsers"));
  auto* users = page.findChild<RadioGroup*>(QStringLiteral("RadioGroupUsers"));
  ASSERT_NE(group, nullptr);
  ASSERT_NE(users, nullptr);
  EXPECT_EQ(group->title(), QStringLiteral("User Selection and Management"));
  EXPECT_EQ(users->title(), QStringLiteral("Users"));
  EXPECT_EQ(users->accessibleName(), QStringLiteral("Users"));
  EXPECT_EQ(users->items(), QStringList{QStringLiteral("Default User")});
  EXPECT_EQ(users->itemIndex(), 0);
  for (const char* name :
       {"RadioGroupUsers", "EditName", "ButtonAdd", "ButtonSetName", "ButtonRemove"}) {
    EXPECT_NE(group->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  }
}

TEST(ConnectionPage, KeepsTheDesignArrangement) {
  ConnectionPage page;
  page.resize(1050, 700);
  page.show();
  const auto rect = [&page](const char* name) {
    auto* w = page.findChild<QWidget*>(QString::fromLatin1(name));
    return QRect(w->mapTo(&page, QPoint(0, 0)), w->size());
  };
  const QRect grid = rect("StringGridScan");
  const QRect connect = rect("ButtonConnect");
  const QRect last = rect("ButtonLastIDt2");
  const QRect reset = rect("ButtonReset2");
  const QRect lastId = rect("EditLastID");
  const QRect about = rect("Button11");
  const QRect users = rect("GroupUsers");
  const QRect autoPort = rect("CheckBoxComAuto");

  EXPECT_LT(grid.bottom(), connect.top());
  EXPECT_EQ(connect.top(), last.top());
  EXPECT_EQ(last.top(), reset.top());
  EXPECT_LT(connect.right(), last.left());
  EXPECT_LT(last.right(), reset.left());
  EXPECT_GT(lastId.top(), last.bottom());
  EXPECT_EQ(lastId.left(), last.left());
  EXPECT_LT(grid.right(), users.left());
  EXPECT_LT(about.top(), users.top());
  EXPECT_GT(about.right(), page.width() - 40);
  EXPECT_GT(autoPort.top(), users.bottom());
  EXPECT_GT(autoPort.left(), grid.right());
}

TEST(ConnectionPage, TabReachesEveryEnabledControlInReadingOrder) {
  ConnectionPage page;
  page.connectSelectedButton->setEnabled(true);
  page.connectLastButton->setEnabled(true);
  page.setComPortButton->setVisible(true);
  const QStringList expected = {
      "StringGridScan", "ButtonConnect", "ButtonLastIDt2",  "ButtonReset2", "ButtonPlayCapture",
      "EditLastID",     "Button11",      "RadioGroupUsers", "EditName",     "ButtonAdd",
      "ButtonSetName",  "ButtonRemove",  "CheckBoxComAuto", "ButtonSetCom"};
  EXPECT_EQ(joined(tabWalk(page, page.scanGrid)), joined(expected));
  QStringList stops = tabStops(page);
  stops.sort();
  QStringList sorted = expected;
  sorted.sort();
  EXPECT_EQ(joined(stops), joined(sorted));
}

}  // namespace
}  // namespace kelvaro
