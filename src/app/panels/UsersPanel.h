#pragma once

#include <QObject>

#include "activity/UserList.h"

namespace kelvaro {

class ConnectionPage;

// The users on the "Connection" page: the list itself, shown in RadioGroupUsers, and the three
// buttons that edit it with the name in EditName. The radio group only shows the list; a choice
// made there (by a click or through assistive technology) selects in the list.
class UsersPanel : public QObject {
  Q_OBJECT

 public:
  explicit UsersPanel(ConnectionPage& page, QObject* parent = nullptr);

  // The settings load: the list replaces what the page shows, the first user selected.
  void setUsers(const UserList& users);
  const UserList& users() const { return users_; }

  void addUserClicked();
  void setUserNameClicked();
  void removeUserClicked();

 private:
  void show();

  ConnectionPage& page_;
  UserList users_;
};

}  // namespace kelvaro
