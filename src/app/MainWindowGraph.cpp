// The live graph's controls: series visibility, autoscaling, fixed ranges, "Confirm Changes",
// the cursor measurement fields and the unzoom on the "Connection" tab.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include "app/MainWindow.h"
#include "app/pages/ConnectionPage.h"
#include "app/pages/LiveGraphPage.h"
#include "app/pages/SettingsPage.h"
#include "base/Errors.h"
#include "widgets/LiveChart.h"

namespace kelvaro {
namespace {

using livegraph::Axis;

struct SeriesBox {
  QCheckBox* SettingsPage::*box;
  int series;
};

// In the order their reactions run at start-up.
const SeriesBox kSeriesBoxes[] = {
    {&SettingsPage::force1SeriesCheck, livegraph::kForce1},
    {&SettingsPage::force2SeriesCheck, livegraph::kForce2},
    {&SettingsPage::accelXSeriesCheck, livegraph::kAccelX},
    {&SettingsPage::accelYSeriesCheck, livegraph::kAccelY},
    {&SettingsPage::accelZSeriesCheck, livegraph::kAccelZ},
};

}  // namespace

void MainWindow::wireLiveGraph() {
  auto& settings = *windowPages_.settings;
  auto& graph = *windowPages_.liveGraph;

  for (const auto& entry : kSeriesBoxes) {
    QCheckBox* box = settings.*entry.box;
    connect(box, &QCheckBox::toggled, this, [this, series = entry.series](bool on) {
      windowPages_.chart->setSeriesVisible(series, on);
    });
  }
  connect(settings.forceAutoscaleCheck, &QCheckBox::toggled, this,
          [this] { applyAutoscale(true); });
  connect(settings.accelAutoscaleCheck, &QCheckBox::toggled, this,
          [this] { applyAutoscale(false); });

  // Every change of a range field goes to its axis at once; a refused limit leaves the axis as it
  // was and the field as typed.
  const struct {
    QSpinBox* field;
    Axis axis;
    bool maximum;
  } ranges[] = {{settings.forceAxisMaxSpin, Axis::Left, true},
                {settings.forceAxisMinSpin, Axis::Left, false},
                {settings.accelAxisMaxSpin, Axis::Right, true},
                {settings.accelAxisMinSpin, Axis::Right, false}};
  for (const auto& r : ranges) {
    connect(r.field, &QSpinBox::valueChanged, this, [this, axis = r.axis, max = r.maximum](int v) {
      guarded([&] {
        if (max) {
          windowPages_.chart->setAxisMaximum(axis, v);
        } else {
          windowPages_.chart->setAxisMinimum(axis, v);
        }
      });
    });
  }

  connect(settings.confirmChangesButton, &QPushButton::clicked, this, [this] {
    showPage(windowPages_.liveGraph, true);
    windowPages_.tabs->setCurrentWidget(windowPages_.liveGraph);
  });

  connect(windowPages_.chart, &LiveChart::pressed, this,
          [&graph](const QString& e7, const QString& e8) {
            graph.timeDeltaEdit->setText(e7);
            graph.forceDeltaEdit->setText(e8);
          });
  connect(windowPages_.chart, &LiveChart::moved, this,
          [&graph](const QString& x, const QString& y, const QString& e7, const QString& e8) {
            graph.timeValueEdit->setText(x);
            graph.forceValueEdit->setText(y);
            graph.timeDeltaEdit->setText(e7);
            graph.forceDeltaEdit->setText(e8);
          });

  // Only the user's own choice of the "Connection" tab unzooms; the program's page changes don't.
  connect(windowPages_.tabs->tabBar(), &QTabBar::tabBarClicked, this, [this](int index) {
    if (windowPages_.tabs->widget(index) == windowPages_.connection) windowPages_.chart->unzoom();
  });
}

void MainWindow::applyAutoscale(bool left) {
  auto& settings = *windowPages_.settings;
  const Axis axis = left ? Axis::Left : Axis::Right;
  const bool automatic =
      (left ? settings.forceAutoscaleCheck : settings.accelAutoscaleCheck)->isChecked();
  windowPages_.chart->setAutomatic(axis, automatic);
  if (automatic) return;
  guarded([&] {
    windowPages_.chart->setAxisMaximum(
        axis, (left ? settings.forceAxisMaxSpin : settings.accelAxisMaxSpin)->value());
    windowPages_.chart->setAxisMinimum(
        axis, (left ? settings.forceAxisMinSpin : settings.accelAxisMinSpin)->value());
  });
}

void MainWindow::applyGraphCheckBoxes() {
  for (const auto& entry : kSeriesBoxes) {
    windowPages_.chart->setSeriesVisible(entry.series,
                                         (windowPages_.settings->*entry.box)->isChecked());
  }
}

void MainWindow::applyAutoscaleCheckBoxes() {
  applyAutoscale(true);
  applyAutoscale(false);
}

}  // namespace kelvaro
