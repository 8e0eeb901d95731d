#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "activity/ActivityHistory.h"

namespace kelvaro {

class ConsoleLog;

class ActivityHistoryPage;
class UsersPanel;

// The "Activity History" page at work: "Update Chart" reads Data/usr_act.csv (every line to the
// console), charts the selected user's sessions page by page and shows the totals of all lines;
// "Left", "Right" and "Sessions per Page" move through the pages.
class HistoryPanel final : public QObject {
  Q_OBJECT

 public:
  using ReportError = std::function<void(const QString&)>;

  HistoryPanel(ActivityHistoryPage& page, const UsersPanel& users, ConsoleLog& console,
               QString homeDir, ReportError reportError, QObject* parent = nullptr);

  // "Update Chart". A missing file is reported and leaves chart, totals and title as they were;
  // a damaged line is reported and leaves the points read before it, without totals.
  void updateChartClicked();
  const HistoryPaging& paging() const { return paging_; }

 private:
  void showPoints(const std::vector<HistoryPoint>& points);
  void showPage();

  ActivityHistoryPage& page_;
  const UsersPanel& users_;
  ConsoleLog& console_;
  QString homeDir_;
  ReportError reportError_;
  HistoryPaging paging_;
  std::vector<QString> labels_;  // of every point, the start "HH:MM DD.MM.YY"
};

}  // namespace kelvaro
