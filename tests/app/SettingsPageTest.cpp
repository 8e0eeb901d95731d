#include <QPushButton>
#include <climits>

#include <gtest/gtest.h>

#include "app/PageChecks.h"
#include "app/pages/SettingsPage.h"

namespace kelvaro {
namespace {

using namespace kelvaro::pagechecks;

// Before the settings file is applied the page shows the settings' defaults.
TEST(SettingsPage, ControlsStartAtTheSettingsDefaults) {
  SettingsPage page;
  checkChecks(page, {
                        {"CheckBoxForce1", "Force 1", true, ""},
                        {"CheckBoxForce2", "Force 2", false, ""},
                        {"CheckBoxAccX", "Accelerometer x - axis", false, ""},
                        {"CheckBoxAccY", "Accelerometer y - axis", false, ""},
                        {"CheckBoxAccZ", "Accelerometer z - axis", false, ""},
                        {"CheckBoxAuto", "Graph Autoscaling - Force", false, ""},
                        {"CheckBoxAutoAcel", "Graph Autoscaling - Accelerometer", false, ""},
                    });
  checkSpins(page, {
                       {"SpinEditMax", INT_MIN, INT_MAX, 65535},
                       {"SpinEditMin", INT_MIN, INT_MAX, 0},
                       {"SpinEditMaxAcel", INT_MIN, INT_MAX, 65535},
                       {"SpinEditMinAcel", INT_MIN, INT_MAX, 0},
                   });
  checkButtons(page, {{"Button18", "Confirm Changes", true, true, ""}});
  checkLabels(page, {{"LabelForceAxis", "Force y - axis", "SpinEditMax"},
                     {"LabelAccelAxis", "Accelerometer y -axis", "SpinEditMaxAcel"},
                     {"LabelMaximum", "Maximum", nullptr},
                     {"LabelMinimum", "Minimum", nullptr}});
}

TEST(SettingsPage, AxisLimitsFormRowsUnderMaximumAndMinimum) {
  SettingsPage page;
  page.resize(1050, 700);
  page.show();
  const auto rect = [&page](QWidget* w) { return QRect(w->mapTo(&page, QPoint(0, 0)), w->size()); };
  const QRect max = rect(page.forceAxisMaxSpin);
  const QRect min = rect(page.forceAxisMinSpin);
  const QRect maxAcel = rect(page.accelAxisMaxSpin);
  const QRect minAcel = rect(page.accelAxisMinSpin);
  EXPECT_EQ(max.left(), maxAcel.left());
  EXPECT_EQ(min.left(), minAcel.left());
  EXPECT_LT(max.right(), min.left());
  EXPECT_LT(max.bottom(), maxAcel.top());
  EXPECT_EQ(max.center().y(), rect(page.forceAxisLabel).center().y());
  EXPECT_LT(rect(page.maximumLabel).bottom(), max.top());
  EXPECT_GT(rect(page.confirmChangesButton).top(), maxAcel.bottom());
  // Every control keeps its whole caption visible.
  for (auto* box : {page.accelXSeriesCheck, page.accelAutoscaleCheck}) {
    EXPECT_GE(box->width(), box->sizeHint().width()) << box->objectName().toStdString();
  }
}

TEST(SettingsPage, TabVisitsChannelsThenScalingThenConfirm) {
  SettingsPage page;
  const QStringList expected = {"CheckBoxForce1",   "CheckBoxForce2",  "CheckBoxAccX",
                                "CheckBoxAccY",     "CheckBoxAccZ",    "CheckBoxAuto",
                                "CheckBoxAutoAcel", "SpinEditMax",     "SpinEditMin",
                                "SpinEditMaxAcel",  "SpinEditMinAcel", "Button18"};
  EXPECT_EQ(joined(tabWalk(page, page.force1SeriesCheck)), joined(expected));
  QStringList stops = tabStops(page);
  stops.sort();
  QStringList sorted = expected;
  sorted.sort();
  EXPECT_EQ(joined(stops), joined(sorted));
}

}  // namespace
}  // namespace kelvaro
