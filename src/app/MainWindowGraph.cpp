// The live graph's controls: series visibility, autoscaling, fixed ranges, "Confirm Changes",
// the cursor measurement fields and the unzoom on the "Connection" tab.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

#include "app/ConnectionPage.h"
#include "app/LiveGraphPage.h"
#include "app/MainWindow.h"
#include "app/SettingsPage.h"
#include "base/Errors.h"
#include "widgets/LiveChart.h"

namespace kelvaro {
namespace {

using livegraph::Axis;

struct SeriesBox {
  QCheckBox* ui::SettingsPage::*box;
  int series;
};

// In the order their reactions run at start-up.
const SeriesBox kSeriesBoxes[] = {
    {&ui::SettingsPage::CheckBoxForce1, livegraph::kForce1},
    {&ui::SettingsPage::CheckBoxForce2, livegraph::kForce2},
    {&ui::SettingsPage::CheckBoxAccX, livegraph::kAccelX},
    {&ui::SettingsPage::CheckBoxAccY, livegraph::kAccelY},
    {&ui::SettingsPage::CheckBoxAccZ, livegraph::kAccelZ},
};

}  // namespace

void TForm1::wireLiveGraph() {
  auto& settings = *TabSheetSetting;
  auto& graph = *TabSheetGraf;

  for (const auto& entry : kSeriesBoxes) {
    QCheckBox* box = settings.*entry.box;
    connect(box, &QCheckBox::toggled, this,
            [this, series = entry.series](bool on) { Chart1->setSeriesVisible(series, on); });
  }
  connect(settings.CheckBoxAuto, &QCheckBox::toggled, this, [this] { applyAutoscale(true); });
  connect(settings.CheckBoxAutoAcel, &QCheckBox::toggled, this, [this] { applyAutoscale(false); });

  // Every change of a range field goes to its axis at once; a refused limit leaves the axis as it
  // was and the field as typed.
  const struct {
    QSpinBox* field;
    Axis axis;
    bool maximum;
  } ranges[] = {{settings.SpinEditMax, Axis::Left, true},
                {settings.SpinEditMin, Axis::Left, false},
                {settings.SpinEditMaxAcel, Axis::Right, true},
                {settings.SpinEditMinAcel, Axis::Right, false}};
  for (const auto& r : ranges) {
    connect(r.field, &QSpinBox::valueChanged, this, [this, axis = r.axis, max = r.maximum](int v) {
      guarded([&] {
        if (max) {
          Chart1->setAxisMaximum(axis, v);
        } else {
          Chart1->setAxisMinimum(axis, v);
        }
      });
    });
  }

  connect(settings.Button18, &QPushButton::clicked, this, [this] {
    showPage(TabSheetGraf, true);
    PageControl1->setCurrentWidget(TabSheetGraf);
  });

  connect(Chart1, &LiveChart::pressed, this, [&graph](const QString& e7, const QString& e8) {
    graph.Edit7->setText(e7);
    graph.Edit8->setText(e8);
  });
  connect(Chart1, &LiveChart::moved, this,
          [&graph](const QString& x, const QString& y, const QString& e7, const QString& e8) {
            graph.EditPosX->setText(x);
            graph.EditPosY->setText(y);
            graph.Edit7->setText(e7);
            graph.Edit8->setText(e8);
          });

  // Only the user's own choice of the "Connection" tab unzooms; the program's page changes don't.
  connect(PageControl1->tabBar(), &QTabBar::tabBarClicked, this, [this](int index) {
    if (PageControl1->widget(index) == TabSheetConnect) Chart1->unzoom();
  });
}

void TForm1::applyAutoscale(bool left) {
  auto& settings = *TabSheetSetting;
  const Axis axis = left ? Axis::Left : Axis::Right;
  const bool automatic = (left ? settings.CheckBoxAuto : settings.CheckBoxAutoAcel)->isChecked();
  Chart1->setAutomatic(axis, automatic);
  if (automatic) return;
  guarded([&] {
    Chart1->setAxisMaximum(axis, (left ? settings.SpinEditMax : settings.SpinEditMaxAcel)->value());
    Chart1->setAxisMinimum(axis, (left ? settings.SpinEditMin : settings.SpinEditMinAcel)->value());
  });
}

void TForm1::applyGraphCheckBoxes() {
  for (const auto& entry : kSeriesBoxes) {
    Chart1->setSeriesVisible(entry.series, (TabSheetSetting->*entry.box)->isChecked());
  }
}

void TForm1::applyAutoscaleCheckBoxes() {
  applyAutoscale(true);
  applyAutoscale(false);
}

}  // namespace kelvaro
