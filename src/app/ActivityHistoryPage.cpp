#include "app/ActivityHistoryPage.h"

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

namespace kelvaro::ui {
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

  setTabOrder(ButtonOpenAktHist, SpinEdit2);
  setTabOrder(SpinEdit2, BitBtn1);
  setTabOrder(BitBtn1, BitBtn2);
  setTabOrder(BitBtn2, EditPocetAkt);
  setTabOrder(EditPocetAkt, EditAktSumTime);
  setTabOrder(EditAktSumTime, EditAktAvg);
}

QChartView* ActivityHistoryPage::buildChart() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("TChart"));
  chart->legend()->setAlignment(Qt::AlignBottom);

  Series4 = makeSeries(chart, "Series4", QStringLiteral("Total Activity Time"), QColor(0, 128, 0));
  Series3 =
      makeSeries(chart, "Series3", QStringLiteral("Average Activity Level"), QColor(255, 0, 0));
  Series5 = makeSeries(chart, "Series5", QString(), QColor(0, 255, 0));
  chart->addSeries(Series4);
  chart->addSeries(Series3);
  chart->addSeries(Series5);
  // The motion averages are collected with the others but never drawn.
  Series5->setVisible(false);
  for (QLegendMarker* marker : chart->legend()->markers(Series5)) marker->setVisible(false);

  AxisSessions = new QCategoryAxis(chart);
  AxisSessions->setObjectName(QStringLiteral("AxisSessions"));
  AxisSessions->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  AxisSessions->setLabelsAngle(kBottomLabelAngle);
  // Slanted, a whole start time fits; cut short, it would say nothing.
  AxisSessions->setTruncateLabels(false);
  AxisSessions->setRange(0, kSessionsPerPage - 1);
  AxisSessions->setMinorGridLineVisible(false);
  AxisActivity = new QValueAxis(chart);
  AxisActivity->setObjectName(QStringLiteral("AxisActivity"));
  AxisActivity->setTitleText(QStringLiteral("Activity"));
  fitValueAxis(*AxisActivity, 0.0, 10.0);
  AxisActivity->setMinorTickCount(0);
  AxisDuration = new QValueAxis(chart);
  AxisDuration->setObjectName(QStringLiteral("AxisDuration"));
  AxisDuration->setTitleText(QStringLiteral("Duration [minutes]"));
  fitValueAxis(*AxisDuration, 0.0, 60.0);
  AxisDuration->setMinorTickCount(0);
  AxisDuration->setGridLineVisible(false);
  chart->addAxis(AxisSessions, Qt::AlignBottom);
  chart->addAxis(AxisActivity, Qt::AlignLeft);
  chart->addAxis(AxisDuration, Qt::AlignRight);
  Series4->attachAxis(AxisSessions);
  Series4->attachAxis(AxisDuration);
  for (QLineSeries* series : {Series3, Series5}) {
    series->attachAxis(AxisSessions);
    series->attachAxis(AxisActivity);
  }

  // Until a user's history is shown the chart has no title worth hearing.
  ChartActHist = named(new QChartView(chart, this), "ChartActHist", tr("Activity History"));
  ChartActHist->setRenderHint(QPainter::Antialiasing);
  // Nothing on the chart is operated by keys; Tab passes over it.
  ChartActHist->setFocusPolicy(Qt::NoFocus);
  ChartActHist->setMinimumHeight(250);
  return ChartActHist;
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
  EditPocetAkt = makeTotal(panel, "EditPocetAkt", count);
  EditAktSumTime = makeTotal(panel, "EditAktSumTime", time);
  EditAktAvg = makeTotal(panel, "EditAktAvg", average);
  LabelPocetAkt = named(new QLabel(count, panel), "LabelPocetAkt");
  LabelAktSumTime = named(new QLabel(time, panel), "LabelAktSumTime");
  LabelAktAvg = named(new QLabel(average, panel), "LabelAktAvg");
  LabelPocetAkt->setBuddy(EditPocetAkt);
  LabelAktSumTime->setBuddy(EditAktSumTime);
  LabelAktAvg->setBuddy(EditAktAvg);
  totals->addRow(LabelPocetAkt, EditPocetAkt);
  totals->addRow(LabelAktSumTime, EditAktSumTime);
  totals->addRow(LabelAktAvg, EditAktAvg);
  row->addLayout(totals);
  row->addStretch(1);

  auto* update = new QVBoxLayout;
  update->setSpacing(8);
  ButtonOpenAktHist = makeButton(panel, "ButtonOpenAktHist", QStringLiteral("Update Chart"));
  SpinEdit2 = named(new QSpinBox(panel), "SpinEdit2", QStringLiteral("Sessions per Page"));
  SpinEdit2->setRange(4, 1000);
  SpinEdit2->setValue(kSessionsPerPage);
  SpinEdit2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  LabelSessionsPerPage =
      named(new QLabel(QStringLiteral("Sessions per Page"), panel), "LabelSessionsPerPage");
  LabelSessionsPerPage->setBuddy(SpinEdit2);
  auto* perPage = new QHBoxLayout;
  perPage->addWidget(LabelSessionsPerPage);
  perPage->addWidget(SpinEdit2);
  update->addWidget(ButtonOpenAktHist);
  update->addLayout(perPage);
  update->addStretch(1);
  row->addLayout(update);

  GroupScrolling = named(new QGroupBox(QStringLiteral("Chart Scrolling"), panel), "GroupScrolling",
                         QStringLiteral("Chart Scrolling"));
  auto* scrolling = new QHBoxLayout(GroupScrolling);
  BitBtn1 = makeButton(GroupScrolling, "BitBtn1", QStringLiteral("Left"));
  BitBtn2 = makeButton(GroupScrolling, "BitBtn2", QStringLiteral("Right"));
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
  BitBtn2->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
  scrolling->addWidget(BitBtn1);
  scrolling->addWidget(BitBtn2);
  row->addWidget(GroupScrolling, 0, Qt::AlignTop);
  return panel;
}

void ActivityHistoryPage::setChartTitle(const QString& title) {
  ChartActHist->chart()->setTitle(title);
  ChartActHist->setAccessibleName(title);
}

}  // namespace kelvaro::ui
