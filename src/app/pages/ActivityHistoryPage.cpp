#include "app/pages/ActivityHistoryPage.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>
#include <QValueAxis>

#include "app/ChartAxes.h"
#include "app/Widgets.h"

namespace kelvaro {
namespace {

constexpr int kButtonWidth = 130;
constexpr int kButtonHeight = 36;
constexpr int kSessionsPerPage = 20;
// The chart's bottom labels lean 25 degrees up to the right.
constexpr int kBottomLabelAngle = 335 - 360;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
  return button(parent, name, caption, QSize(kButtonWidth, kButtonHeight));
}

QLineSeries* makeSeries(QObject* parent, const char* name, const QString& title,
                        const QColor& color) {
  auto* series = new QLineSeries(parent);
  series->setObjectName(QString::fromLatin1(name));
  series->setName(title);
  series->setPen(QPen(color, 3));
  return series;
}

QLineEdit* makeTotal(QWidget* parent, const char* name, const QString& caption) {
  auto* edit = named(new QLineEdit(parent), name, caption.trimmed());
  edit->setReadOnly(true);
  edit->setMinimumWidth(
      QFontMetrics(edit->font()).horizontalAdvance(QStringLiteral("000 Day 00:00:00")) + 24);
  return edit;
}

}  // namespace

ActivityHistoryPage::ActivityHistoryPage(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 8);
  layout->setSpacing(8);
  layout->addWidget(buildChart(), 1);
  layout->addWidget(buildControls());

  setTabOrder(updateChartButton, sessionsPerPageSpin);
  setTabOrder(sessionsPerPageSpin, scrollLeftButton);
  setTabOrder(scrollLeftButton, scrollRightButton);
  setTabOrder(scrollRightButton, countEdit);
  setTabOrder(countEdit, totalTimeEdit);
  setTabOrder(totalTimeEdit, averageEdit);
}

QChartView* ActivityHistoryPage::buildChart() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("TChart"));
  chart->legend()->setAlignment(Qt::AlignBottom);

  totalTimeSeries =
      makeSeries(chart, "Series4", QStringLiteral("Total Activity Time"), QColor(0, 128, 0));
  averageLevelSeries =
      makeSeries(chart, "Series3", QStringLiteral("Average Activity Level"), QColor(255, 0, 0));
  motionAverageSeries = makeSeries(chart, "Series5", QString(), QColor(0, 255, 0));
  chart->addSeries(totalTimeSeries);
  chart->addSeries(averageLevelSeries);
  chart->addSeries(motionAverageSeries);
  // The motion averages are collected with the others but never drawn.
  motionAverageSeries->setVisible(false);
  for (QLegendMarker* marker : chart->legend()->markers(motionAverageSeries))
    marker->setVisible(false);

  sessionsAxis = new QCategoryAxis(chart);
  sessionsAxis->setObjectName(QStringLiteral("AxisSessions"));
  sessionsAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  sessionsAxis->setLabelsAngle(kBottomLabelAngle);
  // Slanted, a whole start time fits; cut short, it would say nothing.
  sessionsAxis->setTruncateLabels(false);
  sessionsAxis->setRange(0, kSessionsPerPage - 1);
  sessionsAxis->setMinorGridLineVisible(false);
  activityAxis = new QValueAxis(chart);
  activityAxis->setObjectName(QStringLiteral("AxisActivity"));
  activityAxis->setTitleText(QStringLiteral("Activity"));
  fitValueAxis(*activityAxis, 0.0, 10.0);
  activityAxis->setMinorTickCount(0);
  durationAxis = new QValueAxis(chart);
  durationAxis->setObjectName(QStringLiteral("AxisDuration"));
  durationAxis->setTitleText(QStringLiteral("Duration [minutes]"));
  fitValueAxis(*durationAxis, 0.0, 60.0);
  durationAxis->setMinorTickCount(0);
  durationAxis->setGridLineVisible(false);
  chart->addAxis(sessionsAxis, Qt::AlignBottom);
  chart->addAxis(activityAxis, Qt::AlignLeft);
  chart->addAxis(durationAxis, Qt::AlignRight);
  totalTimeSeries->attachAxis(sessionsAxis);
  totalTimeSeries->attachAxis(durationAxis);
  for (QLineSeries* series : {averageLevelSeries, motionAverageSeries}) {
    series->attachAxis(sessionsAxis);
    series->attachAxis(activityAxis);
  }

  // Until a user's history is shown the chart has no title worth hearing.
  historyChart = named(new QChartView(chart, this), "ChartActHist", tr("Activity History"));
  historyChart->setRenderHint(QPainter::Antialiasing);
  // Nothing on the chart is operated by keys; Tab passes over it.
  historyChart->setFocusPolicy(Qt::NoFocus);
  historyChart->setMinimumHeight(250);
  return historyChart;
}

QWidget* ActivityHistoryPage::buildControls() {
  auto* panel = new QWidget(this);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(8, 0, 8, 0);
  row->setSpacing(30);

  auto* totals = new QFormLayout;
  totals->setHorizontalSpacing(12);
  totals->setVerticalSpacing(6);
  const QString count = QStringLiteral("Number of Sessions");
  const QString time = QStringLiteral("Total Activity Time ");
  const QString average = QStringLiteral("Average Activity Level");
  countEdit = makeTotal(panel, "EditPocetAkt", count);
  totalTimeEdit = makeTotal(panel, "EditAktSumTime", time);
  averageEdit = makeTotal(panel, "EditAktAvg", average);
  countLabel = named(new QLabel(count, panel), "LabelPocetAkt");
  totalTimeLabel = named(new QLabel(time, panel), "LabelAktSumTime");
  averageLabel = named(new QLabel(average, panel), "LabelAktAvg");
  countLabel->setBuddy(countEdit);
  totalTimeLabel->setBuddy(totalTimeEdit);
  averageLabel->setBuddy(averageEdit);
  totals->addRow(countLabel, countEdit);
  totals->addRow(totalTimeLabel, totalTimeEdit);
  totals->addRow(averageLabel, averageEdit);
  row->addLayout(totals);
  row->addStretch(1);

  auto* update = new QVBoxLayout;
  update->setSpacing(8);
  updateChartButton = makeButton(panel, "ButtonOpenAktHist", QStringLiteral("Update Chart"));
  sessionsPerPageSpin =
      named(new QSpinBox(panel), "SpinEdit2", QStringLiteral("Sessions per Page"));
  sessionsPerPageSpin->setRange(4, 1000);
  sessionsPerPageSpin->setValue(kSessionsPerPage);
  sessionsPerPageSpin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  sessionsPerPageLabel =
      named(new QLabel(QStringLiteral("Sessions per Page"), panel), "LabelSessionsPerPage");
  sessionsPerPageLabel->setBuddy(sessionsPerPageSpin);
  auto* perPage = new QHBoxLayout;
  perPage->addWidget(sessionsPerPageLabel);
  perPage->addWidget(sessionsPerPageSpin);
  update->addWidget(updateChartButton);
  update->addLayout(perPage);
  update->addStretch(1);
  row->addLayout(update);

  scrollingGroup = named(new QGroupBox(QStringLiteral("Chart Scrolling"), panel), "GroupScrolling",
                         QStringLiteral("Chart Scrolling"));
  auto* scrolling = new QHBoxLayout(scrollingGroup);
  scrollLeftButton = makeButton(scrollingGroup, "BitBtn1", QStringLiteral("Left"));
  scrollRightButton = makeButton(scrollingGroup, "BitBtn2", QStringLiteral("Right"));
  scrollLeftButton->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
  scrollRightButton->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
  scrolling->addWidget(scrollLeftButton);
  scrolling->addWidget(scrollRightButton);
  row->addWidget(scrollingGroup, 0, Qt::AlignTop);
  return panel;
}

void ActivityHistoryPage::setChartTitle(const QString& title) {
  historyChart->chart()->setTitle(title);
  historyChart->setAccessibleName(title);
}

}  // namespace kelvaro
