#include "app/panels/LastBelt.h"

#include <QLineEdit>

namespace kelvaro {

LastBelt::LastBelt(QLineEdit& field, QObject* parent)
    : QObject(parent), field_(field), id_(field.text()) {
  connect(&field, &QLineEdit::textChanged, this, [this](const QString& text) { id_ = text; });
}

void LastBelt::setId(const QString& id) {
  id_ = id;
  field_.setText(id);
}

}  // namespace kelvaro
