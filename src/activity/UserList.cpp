#include "activity/UserList.h"

#include <algorithm>
#include <utility>

namespace kelvaro {

QString UserList::defaultName(int n) { return QStringLiteral("---- %1").arg(n); }

UserList UserList::load(int count, const std::function<std::optional<QString>(int n)>& storedName) {
  QStringList names;
  const int last = std::min(count, kMaxUsers);
  for (int n = 1; n <= last; ++n) names << storedName(n).value_or(defaultName(n));
  return UserList(std::move(names));
}

UserList::UserList(QStringList names)
    : names_(std::move(names)), selected_(names_.isEmpty() ? -1 : 0) {}

QString UserList::selectedName() const { return hasSelection() ? names_.at(selected_) : QString(); }

void UserList::select(int index) { selected_ = (index >= 0 && index < count()) ? index : -1; }

void UserList::add(const QString& name) {
  names_ << name;
  selected_ = count() - 1;
}

bool UserList::setName(const QString& name) {
  if (!hasSelection()) return false;
  names_[selected_] = name;
  return true;
}

bool UserList::removeSelected() {
  if (count() < 2 || !hasSelection()) return false;
  names_.removeAt(selected_);
  selected_ = std::min(selected_, count() - 1);
  return true;
}

}  // namespace kelvaro
