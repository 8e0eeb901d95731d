#include "app/panels/HistoryPanel.h"

#include <QCategoryAxis>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QValueAxis>
#include <algorithm>

#include "app/ChartAxes.h"
#include "app/pages/ActivityHistoryPage.h"
#include "app/panels/UsersPanel.h"
#include "base/ConsoleLog.h"
#include "base/Errors.h"

namespace kelvaro {

HistoryPanel::HistoryPanel(ActivityHistoryPage& page, const UsersPanel& users, ConsoleLog& console,
                           QString homeDir, ReportError reportError, QObject* parent)
    : QObject(parent),
      page_(page),
      users_(users),
      console_(console),
      homeDir_(std::move(homeDir)),
      reportError_(std::move(reportError)) {
  paging_.setPerPage(page_.sessionsPerPageSpin->value());
  connect(page_.updateChartButton, &QPushButton::clicked, this, &HistoryPanel::updateChartClicked);
  connect(page_.scrollLeftButton, &QPushButton::clicked, this, [this] {
    paging_.left();
    showPage();
  });
  connect(page_.scrollRightButton, &QPushButton::clicked, this, [this] {
    paging_.right();
    showPage();
  });
  connect(page_.sessionsPerPageSpin, &QSpinBox::valueChanged, this, [this](int perPage) {
    paging_.setPerPage(perPage);
    showPage();
  });
}

void HistoryPanel::updateChartClicked() {
  HistoryReport report;
  try {
    report = readHistory(homeDir_, users_.users().selectedName(),
                         [this](const QString& line) { console_.append(line); });
  } catch (const Error& error) {
    reportError_(QString::fromUtf8(error.what()));
    return;
  }
  page_.setChartTitle(report.title);
  showPoints(report.points);
  if (report.totals) {
    page_.averageEdit->setText(report.totals->averageText);
    page_.totalTimeEdit->setText(report.totals->durationText);
    page_.countEdit->setText(report.totals->countText);
  }
  if (report.fault) reportError_(report.fault->message);
}

void HistoryPanel::showPoints(const std::vector<HistoryPoint>& points) {
  page_.totalTimeSeries->clear();
  page_.averageLevelSeries->clear();
  page_.motionAverageSeries->clear();
  labels_.clear();
  double longest = 0.0;
  double highest = 0.0;
  for (const HistoryPoint& p : points) {
    page_.totalTimeSeries->append(p.x, p.minutes);
    page_.averageLevelSeries->append(p.x, p.forceAverage);
    page_.motionAverageSeries->append(p.x, p.motionAverage);
    labels_.push_back(p.label);
    longest = std::max(longest, p.minutes);
    highest = std::max(highest, p.forceAverage);
  }
  // A scale even without points.
  fitValueAxis(*page_.durationAxis, 0.0, longest > 0.0 ? longest : 60.0);
  fitValueAxis(*page_.activityAxis, 0.0, highest > 0.0 ? highest : 10.0);
  paging_.setPointCount(static_cast<int>(points.size()));
  showPage();
}

void HistoryPanel::showPage() {
  // Only the page's own labels: the axis would pile up the others at its ends.
  QCategoryAxis* axis = page_.sessionsAxis;
  for (const QString& label : axis->categoriesLabels()) axis->remove(label);
  QSet<QString> used;
  const int end = std::min(paging_.endIndex(), static_cast<int>(labels_.size()));
  for (int i = paging_.firstIndex(); i < end; ++i) {
    // The axis takes each label once; two sessions that started in the same minute still get a
    // label each.
    QString label = labels_[static_cast<std::size_t>(i)];
    while (used.contains(label)) label += QChar(0x200B);
    used.insert(label);
    axis->append(label, i);
  }
  axis->setStartValue(paging_.axisMinimum());
  axis->setRange(paging_.axisMinimum(), paging_.axisMaximum());
}

}  // namespace kelvaro
