#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace kelvaro {

// The diagnostics console: an ordered list of trace lines. Every subsystem appends to it; a view
// (Memo3) follows the signals. Direct appends never trim the list.
class ConsoleLog : public QObject {
  Q_OBJECT

 public:
  explicit ConsoleLog(QObject* parent = nullptr) : QObject(parent) {}

  void append(const QString& line);
  void clear();
  // Drops the oldest line; used only by the standard-output path to keep its 500-line bound.
  void removeFirst();

  int count() const { return lines_.size(); }
  const QStringList& lines() const { return lines_; }
  QString last() const { return lines_.isEmpty() ? QString() : lines_.last(); }

 signals:
  void lineAppended(const QString& line);
  void firstLineRemoved();
  void cleared();

 private:
  QStringList lines_;
};

}  // namespace kelvaro
