#include "base/ConsoleLog.h"

namespace kelvaro {

void ConsoleLog::append(const QString& line) {
  if (lines_.size() >= kMaxLines) removeFirst();
  lines_.append(line);
  emit lineAppended(line);
}

void ConsoleLog::clear() {
  lines_.clear();
  emit cleared();
}

void ConsoleLog::removeFirst() {
  if (lines_.isEmpty()) return;
  lines_.removeFirst();
  emit firstLineRemoved();
}

}  // namespace kelvaro
