#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kelvaro {

// The parts of one history line. A well-formed line fills slot 0 start time, 1 start date,
// 2 belt identifier, 3 user, 4 duration, 5 motion activity, 6 force activity, 7 motion average,
// 8 force average; the others stay empty.
struct HistoryLineFields {
  static constexpr int kSlotCount = 21;
  std::array<QString, kSlotCount> parts;
  // More separators than the slots can take; the text after the last slot is dropped.
  bool overflow = false;
};

// Splits at every ";" and, within the first slot only, at spaces (the blank between the start's
// time and date). Consecutive separators leave empty slots; the final ";" only moves on.
HistoryLineFields SplitHistoryLine(const QString& line);

// One session of the selected user as the history chart draws it; x is its sequence number.
struct HistoryPoint {
  int x = 0;
  QString label;             // the start, "HH:MM DD.MM.YY"
  double minutes = 0;        // duration, on the right axis
  double forceAverage = 0;   // "Average Activity Level", on the left axis
  double motionAverage = 0;  // kept with the point but never drawn
};

// The totals under the chart; they count every line, of whichever user.
struct HistoryTotals {
  int count = 0;
  std::int64_t durationMs = 0;
  double forceAverage = 0;  // 0 without lines
  QString countText;        // "0"
  QString durationText;     // "N Day HH:MM:SS"
  QString averageText;      // "0.00"
};

// Why a history update stopped: the line (counted from 1) and what is wrong with it.
struct HistoryFault {
  int lineNumber = 0;
  QString message;  // names the file, the line number and the fault
};

// What an update of the history page shows. With a fault the points read before the damaged line
// stay and there are no totals; exactly one of totals and fault is set.
struct HistoryReport {
  QString title;  // "Activity History for " and the user
  std::vector<HistoryPoint> points;
  std::optional<HistoryTotals> totals;
  std::optional<HistoryFault> fault;
};

// Receives every line as it is read, before it is parsed (the diagnostics console).
using HistoryLineSink = std::function<void(const QString& line)>;

// Reads a history file's content: lines end with CR LF, LF or CR; a final line without an end
// counts. The user is compared exactly, letter case included. `fileName` only names the file in
// the fault message. Never throws; a damaged line becomes the report's fault.
HistoryReport parseHistory(const QByteArray& content, const QString& user,
                           const HistoryLineSink& eachLine, const QString& fileName);

// Reads the history file of `home` (see historyFilePath) and parses it. Throws kelvaro::Error
// naming the path when the file is missing or unreadable; the page then keeps what it showed.
// The file is closed before parsing, so a damaged file never blocks a later append.
HistoryReport readHistory(const QString& home, const QString& user,
                          const HistoryLineSink& eachLine);

// Which sessions of the history chart are on view. Pages count from 1; an update changes the
// number of points but not the page, so a page beyond the last shows nothing until "Left".
class HistoryPaging {
 public:
  static constexpr int kDefaultPerPage = 20;
  static constexpr int kMinPerPage = 4;  // the field's limits once it loses the focus
  static constexpr int kMaxPerPage = 1000;

  void setPointCount(int count);
  // A value below 1 (typed, not yet limited) puts every point on one page.
  void setPerPage(int perPage);
  void left();
  void right();

  int page() const { return page_; }
  int perPage() const { return perPage_; }
  int pointCount() const { return count_; }
  int pageCount() const;
  // The points on view are [firstIndex(), endIndex()).
  int firstIndex() const;
  int endIndex() const;
  // The bottom axis spans a full page even on a short last page, so the scale stays the same.
  int axisMinimum() const { return firstIndex(); }
  int axisMaximum() const;

 private:
  int count_ = 0;
  int perPage_ = kDefaultPerPage;
  int page_ = 1;
};

}  // namespace kelvaro
