#pragma once

#include <QObject>
#include <QString>

class QPlainTextEdit;

namespace kelvaro {
class ConsoleLog;
}

namespace kelvaro {

// Shows a ConsoleLog in a text area (Memo3) and follows it line by line: appends, drops of the
// oldest line and clears are applied to the document in place, so a log of many thousand lines
// never has to be laid out again. The view keeps to the newest line while it is scrolled to the
// end; scrolled back, it keeps the lines the reader is looking at in place.
class ConsoleView : public QObject {
  Q_OBJECT

 public:
  // Becomes a child of memo and shows the lines the log already holds.
  ConsoleView(const ConsoleLog& log, QPlainTextEdit* memo);

  // Whether new lines scroll the view (it was at the end when last scrolled).
  bool followsEnd() const { return followEnd_; }

 private:
  void appendLine(const QString& line);
  void removeFirstLine();
  void clearLines();
  void scrollToEndIfFollowing();

  QPlainTextEdit* memo_;
  int lineCount_ = 0;
  bool followEnd_ = true;
};

}  // namespace kelvaro
