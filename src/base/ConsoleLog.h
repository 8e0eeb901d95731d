#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace kelvaro {

// The diagnostics console: an ordered list of trace lines. Every subsystem appends to it; a view
// (Memo3) follows the signals. It keeps the newest kMaxLines lines: a program left scanning in a
// room full of advertisers writes a line for every scan response, day and night.
class ConsoleLog : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxLines = 5000;

  explicit ConsoleLog(QObject* parent = nullptr) : QObject(parent) {}

  // Adds the line at the end; when the log is full its oldest line goes first.

  void append(const QString& line);
  void clear();
  // Drops the oldest line; used by the standard-output path to keep its 500-line bound.
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
