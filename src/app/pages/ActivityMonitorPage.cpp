#include "app/pages/ActivityMonitorPage.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "app/ChartAxes.h"
#include "app/Widgets.h"
#include "breathing/BreathDetector.h"

namespace kelvaro {
namespace {

constexpr int kButtonWidth = 150;
constexpr int kButtonHeight = 40;
constexpr int kDefaultAlarmLevel = 10;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption) {
  return button(parent, name, caption, QSize(kButtonWidth, kButtonHeight));
}

QLabel* makeReadout(QWidget* parent, const char* name, const QLabel* caption) {
  auto* value = named(new QLabel(QStringLiteral("---"), parent), name, caption->text());
  QFont font;
  font.setPointSizeF(14);
  value->setFont(font);
  value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  value->setMinimumWidth(QFontMetrics(font).horizontalAdvance(QStringLiteral("0000.00")));
  return value;
}

QValueAxis* makeValueAxis(const QString& title, QObject* parent, const char* name) {
  auto* axis = new QValueAxis(parent);
  axis->setObjectName(QString::fromLatin1(name));
  axis->setTitleText(title);
  fitValueAxis(*axis, 0.0, 10.0);
  return axis;
}

}  // namespace

ActivityMonitorPage::ActivityMonitorPage(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 8);
  layout->setSpacing(8);
  layout->addWidget(buildChart(), 1);
  layout->addWidget(buildControls());

  setTabOrder(sessionStartButton, sessionStopButton);
  setTabOrder(sessionStopButton, alarmLevelSlider);
  setTabOrder(alarmLevelSlider, soundAlarmCheck);
  setTabOrder(soundAlarmCheck, muteAlarmCheck);
}

QChartView* ActivityMonitorPage::buildChart() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Activity Monitor"));
  chart->legend()->setAlignment(Qt::AlignBottom);

  forceActivitySeries = new QLineSeries(chart);
  forceActivitySeries->setObjectName(QStringLiteral("Series1"));
  forceActivitySeries->setName(QStringLiteral("Force Activity"));
  forceActivitySeries->setPen(QPen(QColor(255, 0, 0), 3));
  motionActivitySeries = new QLineSeries(chart);
  motionActivitySeries->setObjectName(QStringLiteral("Series2"));
  motionActivitySeries->setName(QStringLiteral("Motion Activity"));
  motionActivitySeries->setPen(QPen(QColor(0, 128, 0), 1));
  chart->addSeries(forceActivitySeries);
  chart->addSeries(motionActivitySeries);

  timeAxis = new QDateTimeAxis(chart);
  timeAxis->setObjectName(QStringLiteral("AxisTime"));
  timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
  timeAxis->setTickCount(7);
  // An hour from midnight until the first points arrive.
  const QDateTime midnight(QDate::currentDate(), QTime(0, 0));
  timeAxis->setRange(midnight, midnight.addSecs(3600));
  forceAxis = makeValueAxis(QStringLiteral("Force"), chart, "AxisForce");
  motionAxis = makeValueAxis(QStringLiteral("Acel"), chart, "AxisMotion");
  chart->addAxis(timeAxis, Qt::AlignBottom);
  chart->addAxis(forceAxis, Qt::AlignLeft);
  chart->addAxis(motionAxis, Qt::AlignRight);
  forceActivitySeries->attachAxis(timeAxis);
  forceActivitySeries->attachAxis(forceAxis);
  motionActivitySeries->attachAxis(timeAxis);
  motionActivitySeries->attachAxis(motionAxis);

  activityChart = named(new QChartView(chart, this), "Chart2", QStringLiteral("Activity Monitor"));
  activityChart->setRenderHint(QPainter::Antialiasing);
  // Nothing on the chart is operated by keys; Tab passes over it.
  activityChart->setFocusPolicy(Qt::NoFocus);
  activityChart->setMinimumHeight(250);
  return activityChart;
}

QWidget* ActivityMonitorPage::buildControls() {
  auto* panel = new QWidget(this);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(8, 0, 8, 0);
  row->setSpacing(24);

  auto* session = new QVBoxLayout;
  session->setSpacing(8);
  sessionStartButton = makeButton(panel, "ButtonStartAct", QStringLiteral("Session Start"));
  sessionStopButton = makeButton(panel, "ButtonStopAct", QStringLiteral("Session Stop"));
  // No session is open at start.
  sessionStopButton->setEnabled(false);
  session->addWidget(sessionStartButton);
  session->addWidget(sessionStopButton);
  row->addLayout(session);

  auto* values = new QGridLayout;
  values->setHorizontalSpacing(14);
  values->setVerticalSpacing(8);
  beltActivityCaption =
      named(new QLabel(QStringLiteral("Current Belt Activity"), panel), "LabelBeltActivity");
  sessionActivityCaption =
      named(new QLabel(QStringLiteral("Avg Session Activity"), panel), "LabelSessionActivity");
  beltActivityReadout = makeReadout(panel, "LabelAkt10", beltActivityCaption);
  sessionActivityReadout = makeReadout(panel, "LabelAktPrum", sessionActivityCaption);
  values->addWidget(beltActivityCaption, 0, 0);
  values->addWidget(beltActivityReadout, 0, 1);
  values->addWidget(sessionActivityCaption, 1, 0);
  values->addWidget(sessionActivityReadout, 1, 1);
  breathingCaption = named(new QLabel(QStringLiteral("Breaths/min"), panel), "LabelBreathingAct");
  breathingRateReadout = makeReadout(panel, "LabelRateAct", breathingCaption);
  values->addWidget(breathingCaption, 2, 0);
  values->addWidget(breathingRateReadout, 2, 1);
  row->addLayout(values);
  row->addStretch(1);

  auto* alarm = new QGridLayout;
  alarm->setHorizontalSpacing(8);
  alarm->setVerticalSpacing(6);
  alarmLevelSlider = named(new QSlider(Qt::Horizontal, panel), "TrackBarAct", tr("Alarm Level"));
  alarmLevelSlider->setRange(0, 50);
  alarmLevelSlider->setTickInterval(5);
  alarmLevelSlider->setPageStep(5);
  alarmLevelSlider->setTickPosition(QSlider::TicksBelow);
  alarmLevelSlider->setValue(kDefaultAlarmLevel);
  alarmLevelSlider->setMinimumWidth(220);
  alarmLevelLabel =
      named(new QLabel(QStringLiteral("Alarm Level = %1").arg(kDefaultAlarmLevel), panel),
            "LabelAlarmLevel");
  alarmLevelLabel->setBuddy(alarmLevelSlider);
  alarmMinLabel = named(new QLabel(QStringLiteral("0"), panel), "LabelAlarmMin");
  alarmMaxLabel = named(new QLabel(QStringLiteral("50"), panel), "LabelAlarmMax");
  soundAlarmCheck = named(new QCheckBox(QStringLiteral("Sound alarm"), panel), "CheckBoxSound");
  muteAlarmCheck = named(new QCheckBox(QStringLiteral("Sound Mute Alarm"), panel), "CheckBoxMute");
  alarm->addWidget(alarmLevelLabel, 0, 1, Qt::AlignHCenter);
  alarm->addWidget(alarmMinLabel, 1, 0);
  alarm->addWidget(alarmLevelSlider, 1, 1);
  alarm->addWidget(alarmMaxLabel, 1, 2);
  alarm->addWidget(soundAlarmCheck, 2, 1);
  alarm->addWidget(muteAlarmCheck, 3, 1);
  apneaSpin = named(new QSpinBox(panel), "SpinEditApnea", QStringLiteral("Apnea alarm after"));
  apneaSpin->setRange(breathing::kMinApneaSeconds, breathing::kMaxApneaSeconds);
  apneaSpin->setValue(breathing::kDefaultApneaSeconds);
  apneaSpin->setSuffix(QStringLiteral(" s"));
  apneaSpin->setToolTip(tr("No breath for longer than this raises the alarm"));
  apneaLabel = named(new QLabel(QStringLiteral("Apnea alarm after"), panel), "LabelApnea");
  apneaLabel->setBuddy(apneaSpin);
  auto* apnea = new QHBoxLayout;
  apnea->addWidget(apneaLabel);
  apnea->addWidget(apneaSpin);
  apnea->addStretch(1);
  alarm->addLayout(apnea, 4, 1);
  row->addLayout(alarm);

  actStartLabel = named(new QLabel(QStringLiteral("ActStart=4.15"), panel), "LabelAktStart");
  actStopLabel = named(new QLabel(QStringLiteral("ActStop=0.60"), panel), "LabelAktStop");
  actStartLabel->setVisible(false);
  actStopLabel->setVisible(false);
  row->addWidget(actStartLabel);
  row->addWidget(actStopLabel);
  return panel;
}

void ActivityMonitorPage::addActivityPoints(const QDateTime& at, double forceActivity,
                                            double motionActivity) {
  const auto x = static_cast<qreal>(at.toMSecsSinceEpoch());
  forceActivitySeries->append(x, forceActivity);
  motionActivitySeries->append(x, motionActivity);
  fitAxes();
}

void ActivityMonitorPage::restartActivityChart(const QDateTime& at) {
  forceActivitySeries->clear();
  motionActivitySeries->clear();
  addActivityPoints(at, 0.0, 0.0);
}

void ActivityMonitorPage::fitAxes() {
  // Once a block (every ten seconds or so): a scan of the points costs nothing that matters.
  const auto highest = [](const QLineSeries* series) {
    double top = 0.0;
    for (const QPointF& p : series->points()) top = std::max(top, p.y());
    // A scale even while everything is 0.
    return top > 0.0 ? top : 1.0;
  };
  const QList<QPointF> points = forceActivitySeries->points();
  if (points.isEmpty()) return;
  const auto first = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(points.first().x()));
  auto last = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(points.last().x()));
  // At least a minute wide, so that a lone point sits at the left edge and not on the axis.
  if (first.secsTo(last) < 60) last = first.addSecs(60);
  timeAxis->setRange(first, last);
  fitValueAxis(*forceAxis, 0.0, highest(forceActivitySeries));
  fitValueAxis(*motionAxis, 0.0, highest(motionActivitySeries));
}

}  // namespace kelvaro
