#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace kelvaro {

// The people sharing this installation: an ordered list of names, possibly empty or repeated, with
// one selected position. The buttons on the Connection page edit it; the settings file keeps it.
class UserList {
 public:
  // A count beyond this is not one a person typed; loading stops there so that a damaged file
  // cannot make the program build a million radio buttons.
  static constexpr int kMaxUsers = 1000;

  // The name a user n (from 1) gets when the settings file has no key for it.
  static QString defaultName(int n);

  // The list as the settings load builds it: users 1..count, each from storedName(n) or, when that
  // has nothing, the default name; the first user selected. A count of 0 or less gives an empty
  // list with nothing selected.
  static UserList load(int count, const std::function<std::optional<QString>(int n)>& storedName);

  UserList() = default;
  explicit UserList(QStringList names);

  const QStringList& names() const { return names_; }
  int count() const { return names_.size(); }
  bool isEmpty() const { return names_.isEmpty(); }

  // -1 when nothing is selected, which only an empty list or an out-of-range select() gives.
  int selected() const { return selected_; }
  bool hasSelection() const { return selected_ >= 0; }
  // Empty when nothing is selected: a session then records no user rather than a wrong one.
  QString selectedName() const;
  // Any index outside 0..count()-1 clears the selection, as the radio group does.
  void select(int index);

  // "Add New User": appends the name and selects the new last user.
  void add(const QString& name);
  // "Set Name": renames the selected user; false (and nothing changed) when nobody is selected.
  bool setName(const QString& name);
  // "Remove User": removes the selected user unless that would leave fewer than one; the
  // selection stays at the same position, or moves to the new last user. False when nothing
  // was removed.
  bool removeSelected();

 private:
  QStringList names_;
  int selected_ = -1;
};

}  // namespace kelvaro
