#include "app/panels/UsersPanel.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/pages/ConnectionPage.h"
#include "widgets/RadioGroup.h"

namespace kelvaro {

UsersPanel::UsersPanel(ConnectionPage& page, QObject* parent) : QObject(parent), page_(page) {
  connect(page_.addUserButton, &QPushButton::clicked, this, &UsersPanel::addUserClicked);
  connect(page_.setUserNameButton, &QPushButton::clicked, this, &UsersPanel::setUserNameClicked);
  connect(page_.removeUserButton, &QPushButton::clicked, this, &UsersPanel::removeUserClicked);
  connect(page_.usersRadioGroup, &RadioGroup::itemIndexChanged, this,
          [this](int index) { users_.select(index); });
}

void UsersPanel::setUsers(const UserList& users) {
  users_ = users;
  show();
}

void UsersPanel::addUserClicked() {
  users_.add(page_.userNameEdit->text());
  show();
}

void UsersPanel::setUserNameClicked() {
  if (!users_.setName(page_.userNameEdit->text())) return;
  page_.usersRadioGroup->setItemText(users_.selected(), users_.selectedName());
}

void UsersPanel::removeUserClicked() {
  if (users_.removeSelected()) show();
}

void UsersPanel::show() {
  const int selected = users_.selected();
  auto* group = page_.usersRadioGroup;
  group->clearItems();
  group->setItems(users_.names());
  group->setItemIndex(selected);
  // The group's own signals may have moved the list's selection on the way; the list decides.
  users_.select(selected);
}

}  // namespace kelvaro
