#include "widgets/ConsoleView.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "base/ConsoleLog.h"

namespace kelvaro {
namespace {

// One log line must stay one block of the document, or removing the first line would remove
// only a part of it; breaks inside a line become soft line breaks.
QString asOneBlock(const QString& line) {
  QString text = line;
  for (QChar& c : text) {
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator) {
      c = QChar::LineSeparator;
    }
  }
  return text;
}

}  // namespace

ConsoleView::ConsoleView(const ConsoleLog& log, QPlainTextEdit* memo) : QObject(memo), memo_(memo) {
  // The console only ever grows at its end; an undo history would keep every line twice.
  memo_->setUndoRedoEnabled(false);

  QStringList lines;
  lines.reserve(log.count());
  for (const QString& line : log.lines()) lines << asOneBlock(line);
  memo_->setPlainText(lines.join(QLatin1Char('\n')));
  lineCount_ = static_cast<int>(lines.size());

  QScrollBar* bar = memo_->verticalScrollBar();
  connect(bar, &QScrollBar::valueChanged, this,
          [this, bar](int value) { followEnd_ = value >= bar->maximum(); });
  connect(bar, &QScrollBar::rangeChanged, this, [this] { scrollToEndIfFollowing(); });
  scrollToEndIfFollowing();

  connect(&log, &ConsoleLog::lineAppended, this, &ConsoleView::appendLine);
  connect(&log, &ConsoleLog::firstLineRemoved, this, &ConsoleView::removeFirstLine);
  connect(&log, &ConsoleLog::cleared, this, &ConsoleView::clearLines);
}

void ConsoleView::appendLine(const QString& line) {
  QTextCursor cursor(memo_->document());
  cursor.movePosition(QTextCursor::End);
  // An empty document already has its one (empty) block; the first line goes into it.
  // The new block and its text in one edit: added text in a block of its own would be laid out
  // at once and keep its layout (some 3 kB a line); a new block waits to be laid out until shown.
  const QString text = asOneBlock(line);
  if (lineCount_ > 0) {
    cursor.insertText(QString(QChar::ParagraphSeparator) + text);
  } else {
    cursor.insertText(text);
  }
  ++lineCount_;
  scrollToEndIfFollowing();
}

void ConsoleView::removeFirstLine() {
  if (lineCount_ == 0) return;
  if (lineCount_ == 1) {
    clearLines();
    return;
  }
  QTextDocument* document = memo_->document();
  QScrollBar* bar = memo_->verticalScrollBar();
  const bool follow = followEnd_;
  const int top = bar->value();
  const QTextBlock first = document->firstBlock();
  const int removedRows = std::max(1, first.lineCount());
  QTextCursor cursor(first);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
  --lineCount_;
  if (follow) {
    followEnd_ = true;
    scrollToEndIfFollowing();
  } else {
    // The rows above the reader's place moved up; move the view with them.
    bar->setValue(std::max(0, top - removedRows));
  }
}

void ConsoleView::clearLines() {
  memo_->clear();
  lineCount_ = 0;
  followEnd_ = true;
}

void ConsoleView::scrollToEndIfFollowing() {
  if (!followEnd_) return;
  QScrollBar* bar = memo_->verticalScrollBar();
  bar->setValue(bar->maximum());
}

}  // namespace kelvaro
