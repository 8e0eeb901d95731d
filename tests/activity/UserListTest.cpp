#include <QMap>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "activity/UserList.h"

namespace kelvaro {
namespace {

struct LoadCase {
  const char* name;
  int count;
  QMap<int, QString> stored;
  QStringList expected;
  int expectedSelected;
};

class UserListLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(UserListLoad, FillsFromStoredNamesOrDefaultsAndSelectsTheFirst) {
  const auto& c = GetParam();
  const auto list = UserList::load(c.count, [&](int n) -> std::optional<QString> {
    if (c.stored.contains(n)) return c.stored.value(n);
    return std::nullopt;
  });
  EXPECT_EQ(list.names(), c.expected);
  EXPECT_EQ(list.selected(), c.expectedSelected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UserListLoad,
    ::testing::Values(
        LoadCase{"NoFileOneDefaultUser", 1, {}, {"---- 1"}, 0},
        LoadCase{"CountThreeOnlyFirstStored", 3, {{1, "Anna"}}, {"Anna", "---- 2", "---- 3"}, 0},
        LoadCase{"CountZeroEmptyNoSelection", 0, {{1, "Anna"}}, {}, -1},
        LoadCase{"NegativeCountEmpty", -4, {{1, "Anna"}}, {}, -1},
        LoadCase{"KeysBeyondCountIgnored", 2, {{1, "A"}, {2, "B"}, {3, "C"}}, {"A", "B"}, 0},
        LoadCase{"EmptyAndRepeatedNamesKept", 3, {{1, ""}, {2, "X"}, {3, "X"}}, {"", "X", "X"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserList, LoadStopsAtTheUpperBound) {
  const auto list = UserList::load(1'000'000, [](int) { return std::optional<QString>(); });
  EXPECT_EQ(list.count(), UserList::kMaxUsers);
  EXPECT_EQ(list.names().last(), QStringLiteral("---- %1").arg(UserList::kMaxUsers));
}

// One step on the Connection page's buttons and the list and selection it leaves.
enum class Op { Add, SetName, Remove, Select };
struct Step {
  Op op;
  QString name;  // Add, SetName
  int index;     // Select
  bool changed;
  QStringList names;
  int selected;
};

struct EditCase {
  const char* name;
  QStringList start;
  std::vector<Step> steps;
};

class UserListEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(UserListEdit, FollowsTheButtons) {
  const auto& c = GetParam();
  UserList list(c.start);
  int n = 0;
  for (const auto& s : c.steps) {
    SCOPED_TRACE(::testing::Message() << "step " << n++);
    bool changed = true;
    switch (s.op) {
      case Op::Add:
        list.add(s.name);
        break;
      case Op::SetName:
        changed = list.setName(s.name);
        break;
      case Op::Remove:
        changed = list.removeSelected();
        break;
      case Op::Select:
        list.select(s.index);
        break;
    }
    EXPECT_EQ(changed, s.changed);
    EXPECT_EQ(list.names(), s.names);
    EXPECT_EQ(list.selected(), s.selected);
  }
}

const QStringList kThree{"A", "B", "C"};

INSTANTIATE_TEST_SUITE_P(
    Cases, UserListEdit,
    ::testing::Values(
        EditCase{
            "AddSelectsTheNewLast", kThree, {{Op::Add, "D", 0, true, {"A", "B", "C", "D"}, 3}}},
        EditCase{"AddEmptyNameAndSameNameTwice",
                 {"A"},
                 {{Op::Add, "", 0, true, {"A", ""}, 1},
                  {Op::Add, "A", 0, true, {"A", "", "A"}, 2},
                  {Op::Add, "A", 0, true, {"A", "", "A", "A"}, 3}}},
        EditCase{"SetNameRenamesTheSelected",
                 kThree,
                 {{Op::Select, "", 1, true, kThree, 1},
                  {Op::SetName, "Bob", 0, true, {"A", "Bob", "C"}, 1}}},
        EditCase{"RemoveWithOneUserDoesNothing", {"A"}, {{Op::Remove, "", 0, false, {"A"}, 0}}},
        EditCase{"RemoveMiddleSelectsTheFollower",
                 kThree,
                 {{Op::Select, "", 1, true, kThree, 1}, {Op::Remove, "", 0, true, {"A", "C"}, 1}}},
        EditCase{"RemoveLastSelectsTheNewLast",
                 kThree,
                 {{Op::Select, "", 2, true, kThree, 2}, {Op::Remove, "", 0, true, {"A", "B"}, 1}}},
        EditCase{"RemoveFirstKeepsPositionZero",
                 kThree,
                 {{Op::Remove, "", 0, true, {"B", "C"}, 0},
                  {Op::Remove, "", 0, true, {"C"}, 0},
                  {Op::Remove, "", 0, false, {"C"}, 0}}},
        EditCase{"EmptyListSetNameAndRemoveDoNothing",
                 {},
                 {{Op::SetName, "X", 0, false, {}, -1},
                  {Op::Remove, "", 0, false, {}, -1},
                  {Op::Add, "X", 0, true, {"X"}, 0}}},
        EditCase{"NoSelectionSetNameAndRemoveDoNothing",
                 kThree,
                 {{Op::Select, "", 7, true, kThree, -1},
                  {Op::SetName, "X", 0, false, kThree, -1},
                  {Op::Remove, "", 0, false, kThree, -1},
                  {Op::Select, "", -1, true, kThree, -1}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserList, SelectedNameIsEmptyWithoutASelection) {
  UserList list(kThree);
  EXPECT_EQ(list.selectedName(), QStringLiteral("A"));
  list.select(2);
  EXPECT_EQ(list.selectedName(), QStringLiteral("C"));
  list.select(3);
  EXPECT_FALSE(list.hasSelection());
  EXPECT_TRUE(list.selectedName().isEmpty());
  EXPECT_TRUE(UserList().selectedName().isEmpty());
}

}  // namespace
}  // namespace kelvaro
