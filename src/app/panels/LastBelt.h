#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace kelvaro {

// The last belt's ID: what "Connect Last" connects to and what a session's line records. The
// "Last ID" field (EditLastID) shows it, and what a person types there becomes it.
class LastBelt final : public QObject {
  Q_OBJECT

 public:
  // The field must outlive this object.
  explicit LastBelt(QLineEdit& field, QObject* parent = nullptr);

  const QString& id() const { return id_; }
  // Shown in the field at once.
  void setId(const QString& id);

 private:
  QLineEdit& field_;
  QString id_;
};

}  // namespace kelvaro
