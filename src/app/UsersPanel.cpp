#include "app/UsersPanel.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/ConnectionPage.h"
#include "widgets/RadioGroup.h"

namespace kelvaro::ui {

UsersPanel::UsersPanel(ConnectionPage& page, QObject* parent) : QObject(parent), page_(page) {
  connect(page_.ButtonAdd, &QPushButton::clicked, this, &UsersPanel::ButtonAddClick);
  connect(page_.ButtonSetName, &QPushButton::clicked, this, &UsersPanel::ButtonSetNameClick);
  connect(page_.ButtonRemove, &QPushButton::clicked, this, &UsersPanel::ButtonRemoveClick);
  connect(page_.RadioGroupUsers, &RadioGroup::itemIndexChanged, this,
          [this](int index) { users_.select(index); });
}

void UsersPanel::setUsers(const UserList& users) {
  users_ = users;
  show();
}

void UsersPanel::ButtonAddClick() {
  users_.add(page_.EditName->text());
  show();
}

void UsersPanel::ButtonSetNameClick() {
  if (!users_.setName(page_.EditName->text())) return;
  page_.RadioGroupUsers->setItemText(users_.selected(), users_.selectedName());
}

void UsersPanel::ButtonRemoveClick() {
  if (users_.removeSelected()) show();
}

void UsersPanel::show() {
  const int selected = users_.selected();
  auto* group = page_.RadioGroupUsers;
  group->clearItems();
  group->setItems(users_.names());
  group->setItemIndex(selected);
  // The group's own signals may have moved the list's selection on the way; the list decides.
  users_.select(selected);
}

}  // namespace kelvaro::ui
