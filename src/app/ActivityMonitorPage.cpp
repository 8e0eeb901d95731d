#include "app/ActivityMonitorPage.h"

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

namespace kelvaro::ui {
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

  setTabOrder(ButtonStartAct, ButtonStopAct);
  setTabOrder(ButtonStopAct, TrackBarAct);
  setTabOrder(TrackBarAct, CheckBoxSound);
  setTabOrder(CheckBoxSound, CheckBoxMute);
}

QChartView* ActivityMonitorPage::buildChart() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Activity Monitor"));
  chart->legend()->setAlignment(Qt::AlignBottom);

  Series1 = new QLineSeries(chart);
  Series1->setObjectName(QStringLiteral("Series1"));
  Series1->setName(QStringLiteral("Force Activity"));
  Series1->setPen(QPen(QColor(255, 0, 0), 3));
  Series2 = new QLineSeries(chart);
  Series2->setObjectName(QStringLiteral("Series2"));
  Series2->setName(QStringLiteral("Motion Activity"));
  Series2->setPen(QPen(QColor(0, 128, 0), 1));
  chart->addSeries(Series1);
  chart->addSeries(Series2);

  AxisTime = new QDateTimeAxis(chart);
  AxisTime->setObjectName(QStringLiteral("AxisTime"));
  AxisTime->setFormat(QStringLiteral("HH:mm:ss"));
  AxisTime->setTickCount(7);
  // An hour from midnight until the first points arrive.
  const QDateTime midnight(QDate::currentDate(), QTime(0, 0));
  AxisTime->setRange(midnight, midnight.addSecs(3600));
  AxisForce = makeValueAxis(QStringLiteral("Force"), chart, "AxisForce");
  AxisMotion = makeValueAxis(QStringLiteral("Acel"), chart, "AxisMotion");
  chart->addAxis(AxisTime, Qt::AlignBottom);
  chart->addAxis(AxisForce, Qt::AlignLeft);
  chart->addAxis(AxisMotion, Qt::AlignRight);
  Series1->attachAxis(AxisTime);
  Series1->attachAxis(AxisForce);
  Series2->attachAxis(AxisTime);
  Series2->attachAxis(AxisMotion);

  Chart2 = named(new QChartView(chart, this), "Chart2", QStringLiteral("Activity Monitor"));
  Chart2->setRenderHint(QPainter::Antialiasing);
  // Nothing on the chart is operated by keys; Tab passes over it.
  Chart2->setFocusPolicy(Qt::NoFocus);
  Chart2->setMinimumHeight(250);
  return Chart2;
}

QWidget* ActivityMonitorPage::buildControls() {
  auto* panel = new QWidget(this);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(8, 0, 8, 0);
  row->setSpacing(24);

  auto* session = new QVBoxLayout;
  session->setSpacing(8);
  ButtonStartAct = makeButton(panel, "ButtonStartAct", QStringLiteral("Session Start"));
  ButtonStopAct = makeButton(panel, "ButtonStopAct", QStringLiteral("Session Stop"));
  // No session is open at start.
  ButtonStopAct->setEnabled(false);
  session->addWidget(ButtonStartAct);
  session->addWidget(ButtonStopAct);
  row->addLayout(session);

  auto* values = new QGridLayout;
  values->setHorizontalSpacing(14);
  values->setVerticalSpacing(8);
  LabelBeltActivity =
      named(new QLabel(QStringLiteral("Current Belt Activity"), panel), "LabelBeltActivity");
  LabelSessionActivity =
      named(new QLabel(QStringLiteral("Avg Session Activity"), panel), "LabelSessionActivity");
  LabelAkt10 = makeReadout(panel, "LabelAkt10", LabelBeltActivity);
  LabelAktPrum = makeReadout(panel, "LabelAktPrum", LabelSessionActivity);
  values->addWidget(LabelBeltActivity, 0, 0);
  values->addWidget(LabelAkt10, 0, 1);
  values->addWidget(LabelSessionActivity, 1, 0);
  values->addWidget(LabelAktPrum, 1, 1);
  LabelBreathingAct = named(new QLabel(QStringLiteral("Breaths/min"), panel), "LabelBreathingAct");
  LabelRateAct = makeReadout(panel, "LabelRateAct", LabelBreathingAct);
  values->addWidget(LabelBreathingAct, 2, 0);
  values->addWidget(LabelRateAct, 2, 1);
  row->addLayout(values);
  row->addStretch(1);

  auto* alarm = new QGridLayout;
  alarm->setHorizontalSpacing(8);
  alarm->setVerticalSpacing(6);
  TrackBarAct = named(new QSlider(Qt::Horizontal, panel), "TrackBarAct", tr("Alarm Level"));
  TrackBarAct->setRange(0, 50);
  TrackBarAct->setTickInterval(5);
  TrackBarAct->setPageStep(5);
  TrackBarAct->setTickPosition(QSlider::TicksBelow);
  TrackBarAct->setValue(kDefaultAlarmLevel);
  TrackBarAct->setMinimumWidth(220);
  LabelAlarmLevel =
      named(new QLabel(QStringLiteral("Alarm Level = %1").arg(kDefaultAlarmLevel), panel),
            "LabelAlarmLevel");
  LabelAlarmLevel->setBuddy(TrackBarAct);
  LabelAlarmMin = named(new QLabel(QStringLiteral("0"), panel), "LabelAlarmMin");
  LabelAlarmMax = named(new QLabel(QStringLiteral("50"), panel), "LabelAlarmMax");
  CheckBoxSound = named(new QCheckBox(QStringLiteral("Sound alarm"), panel), "CheckBoxSound");
  CheckBoxMute = named(new QCheckBox(QStringLiteral("Sound Mute Alarm"), panel), "CheckBoxMute");
  alarm->addWidget(LabelAlarmLevel, 0, 1, Qt::AlignHCenter);
  alarm->addWidget(LabelAlarmMin, 1, 0);
  alarm->addWidget(TrackBarAct, 1, 1);
  alarm->addWidget(LabelAlarmMax, 1, 2);
  alarm->addWidget(CheckBoxSound, 2, 1);
  alarm->addWidget(CheckBoxMute, 3, 1);
  SpinEditApnea = named(new QSpinBox(panel), "SpinEditApnea", QStringLiteral("Apnea alarm after"));
  SpinEditApnea->setRange(breathing::kMinApneaSeconds, breathing::kMaxApneaSeconds);
  SpinEditApnea->setValue(breathing::kDefaultApneaSeconds);
  SpinEditApnea->setSuffix(QStringLiteral(" s"));
  SpinEditApnea->setToolTip(tr("No breath for longer than this raises the alarm"));
  LabelApnea = named(new QLabel(QStringLiteral("Apnea alarm after"), panel), "LabelApnea");
  LabelApnea->setBuddy(SpinEditApnea);
  auto* apnea = new QHBoxLayout;
  apnea->addWidget(LabelApnea);
  apnea->addWidget(SpinEditApnea);
  apnea->addStretch(1);
  alarm->addLayout(apnea, 4, 1);
  row->addLayout(alarm);

  LabelAktStart = named(new QLabel(QStringLiteral("ActStart=4.15"), panel), "LabelAktStart");
  LabelAktStop = named(new QLabel(QStringLiteral("ActStop=0.60"), panel), "LabelAktStop");
  LabelAktStart->setVisible(false);
  LabelAktStop->setVisible(false);
  row->addWidget(LabelAktStart);
  row->addWidget(LabelAktStop);
  return panel;
}

void ActivityMonitorPage::addActivityPoints(const QDateTime& at, double forceActivity,
                                            double motionActivity) {
  const auto x = static_cast<qreal>(at.toMSecsSinceEpoch());
  Series1->append(x, forceActivity);
  Series2->append(x, motionActivity);
  fitAxes();
}

void ActivityMonitorPage::restartActivityChart(const QDateTime& at) {
  Series1->clear();
  Series2->clear();
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
  const QList<QPointF> points = Series1->points();
  if (points.isEmpty()) return;
  const auto first = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(points.first().x()));
  auto last = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(points.last().x()));
  // At least a minute wide, so that a lone point sits at the left edge and not on the axis.
  if (first.secsTo(last) < 60) last = first.addSecs(60);
  AxisTime->setRange(first, last);
  fitValueAxis(*AxisForce, 0.0, highest(Series1));
  fitValueAxis(*AxisMotion, 0.0, highest(Series2));
}

}  // namespace kelvaro::ui
