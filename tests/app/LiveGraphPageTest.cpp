#include <QGroupBox>
#include <QPointer>
#include <QProgressBar>
#include <QTabWidget>

#include <gtest/gtest.h>

#include "app/PageChecks.h"
#include "app/pages/LiveGraphPage.h"
#include "widgets/ShapeIndicator.h"

namespace kelvaro {
namespace {

using namespace kelvaro::pagechecks;

TEST(LiveGraphPage, StandardSubPageStartsAsDesigned) {
  LiveGraphPage page;
  checkButtons(page, {
                         {"Button2", "Print", true, true, ""},
                         {"Button6", "WMF", true, true, ""},
                         {"Button19", "Zero Force 1", true, true, ""},
                         {"Button4", "Zero Force 2", true, true, ""},
                         {"Button20", "Disconnect", true, true, ""},
                     });
  checkChecks(page, {{"CheckBoxFreeze", "Graph Freeze", false, ""}});
  checkLabels(page, {{"LabelF1", "000", nullptr},
                     {"LabelF2", "000", nullptr},
                     {"LabelActF10", "---", nullptr},
                     {"LabelActivityFAvg", "---", nullptr},
                     {"LabelCurrentActivity", "Current Belt Activity", nullptr},
                     {"LabelAvgActivity", "Avg Session Activity", nullptr},
                     {"LabelKeyActivation", "Key Activation", nullptr},
                     {"LabelBattery", "Battery", "Gauge1"}});
  // A read-out is read as what it shows, described by its caption; the lamp and the gauge are
  // named by the label beside them.
  const struct {
    const char* name;
    const char* accessibleName;
    const char* description;
  } readouts[] = {{"LabelF1", "000", "Force 1"},
                  {"LabelF2", "000", "Force 2"},
                  {"LabelActF10", "---", "Current Belt Activity"},
                  {"LabelActivityFAvg", "---", "Avg Session Activity"},
                  {"Shape1", "Key Activation", nullptr},
                  {"Gauge1", "Battery", nullptr}};
  for (const auto& r : readouts) {
    auto* w = page.findChild<QWidget*>(QString::fromLatin1(r.name));
    ASSERT_NE(w, nullptr) << r.name;
    EXPECT_EQ(accessibleName(w), QString::fromLatin1(r.accessibleName)) << r.name;
    if (r.description) {
      EXPECT_EQ(accessibleDescription(w), QString::fromLatin1(r.description)) << r.name;
    }
  }

  auto* gauge = page.findChild<QProgressBar*>(QStringLiteral("Gauge1"));
  ASSERT_NE(gauge, nullptr);
  EXPECT_EQ(gauge->minimum(), 0);
  EXPECT_EQ(gauge->maximum(), 100);
  gauge->setValue(52);
  EXPECT_EQ(gauge->text(), QStringLiteral("52%"));

  auto* lamp = page.findChild<ShapeIndicator*>(QStringLiteral("Shape1"));
  ASSERT_NE(lamp, nullptr);
  EXPECT_EQ(lamp->shape(), ShapeIndicator::Shape::Circle);
}

TEST(LiveGraphPage, ScientificToolsStartAsDesigned) {
  LiveGraphPage page;
  checkButtons(page, {{"ButtonStartLog", "Start Log", true, true, ""},
                      {"ButtonEndLog", "EndLog", false, true, ""}});
  checkEdits(page, {{"EditSoub", "File Name", false, "File Name"},
                    {"EditPosY", "EditPosY", true, "Force Value"},
                    {"EditPosX", "EditPosX", true, "Time Value"},
                    {"Edit8", "Y", true, "Force Delta"},
                    {"Edit7", "Cas", true, "Time Delta"}});
  checkLabels(page, {{"LabelErr", "-", nullptr}});
  // The status is painted on its own background so that it can turn red.
  EXPECT_TRUE(page.logStatusLabel->autoFillBackground());

  const struct {
    const char* group;
    const char* title;
    const char* fields[2];
  } groups[] = {{"GroupCursor", "Graph Cursor Measurement", {"EditPosY", "EditPosX"}},
                {"GroupClick", "Click Graph to Measure", {"Edit8", "Edit7"}}};
  for (const auto& g : groups) {
    auto* box = page.findChild<QGroupBox*>(QString::fromLatin1(g.group));
    ASSERT_NE(box, nullptr) << g.group;
    EXPECT_EQ(box->title(), QString::fromLatin1(g.title));
    for (const char* field : g.fields) {
      EXPECT_NE(box->findChild<QLineEdit*>(QString::fromLatin1(field)), nullptr) << field;
    }
  }
}

TEST(LiveGraphPage, SubPagesAreStandardThenScientificTools) {
  LiveGraphPage page;
  ASSERT_EQ(page.lowerPages->count(), 2);
  EXPECT_EQ(page.lowerPages->tabText(0), QStringLiteral("Standard"));
  EXPECT_EQ(page.lowerPages->tabText(1), QStringLiteral("Scientific Tools"));
  EXPECT_EQ(page.lowerPages->currentIndex(), 0);
  for (const char* name : {"Button2", "Button6", "Button19", "Button4", "Button20", "Gauge1",
                           "Shape1", "LabelF1", "LabelF2", "LabelActF10", "LabelActivityFAvg"}) {
    EXPECT_TRUE(page.standardTab->isAncestorOf(page.findChild<QWidget*>(QString::fromLatin1(name))))
        << name;
  }
  for (const char* name : {"EditSoub", "ButtonStartLog", "ButtonEndLog", "LabelErr", "EditPosY",
                           "EditPosX", "Edit8", "Edit7"}) {
    EXPECT_TRUE(
        page.scientificToolsTab->isAncestorOf(page.findChild<QWidget*>(QString::fromLatin1(name))))
        << name;
  }
}

TEST(LiveGraphPage, ChartPlaceholderFillsTheTopAndCanBeReplaced) {
  LiveGraphPage page;
  page.resize(1050, 700);
  page.show();
  QPointer<QWidget> placeholder = page.findChild<QWidget*>(QStringLiteral("Chart1"));
  ASSERT_FALSE(placeholder.isNull());
  EXPECT_EQ(placeholder, page.liveChart);
  EXPECT_GT(placeholder->height(), page.height() / 2);
  EXPECT_LT(placeholder->geometry().bottom(), page.lowerPages->geometry().top());

  auto* chart = new QWidget;
  chart->setObjectName(QStringLiteral("Chart1"));
  page.replaceChart(chart);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(placeholder.isNull());
  EXPECT_EQ(page.liveChart, chart);
  EXPECT_EQ(chart->parentWidget(), &page);
  QApplication::processEvents();
  EXPECT_GT(chart->height(), page.height() / 2);
  EXPECT_EQ(page.findChildren<QWidget*>(QStringLiteral("Chart1")).size(), 1);
}

TEST(LiveGraphPage, TabWalksEachSubPage) {
  LiveGraphPage page;
  page.endLogButton->setEnabled(true);
  // The marker between the chart and the sub-pages closes the round.
  const QStringList standard = {"LowerPages",
                                "CheckBoxFreeze",
                                "Button2",
                                "Button6",
                                "Button19",
                                "Button4",
                                "Button20",
                                "ComboBelt",
                                "EditBeltName",
                                "ButtonAddBelt",
                                "ButtonDisconnectAll",
                                "EditMarker",
                                "ButtonMarker"};
  EXPECT_EQ(joined(tabWalk(page, page.lowerPages)), joined(standard));
  QStringList stops = tabStops(page);
  EXPECT_EQ(stops.size(), standard.size());

  page.lowerPages->setCurrentIndex(1);
  const QStringList scientific = {"LowerPages",     "CheckBoxFreeze", "EditSoub",
                                  "ComboLogFormat", "ButtonStartLog", "ButtonEndLog",
                                  "EditPosY",       "EditPosX",       "Edit8",
                                  "Edit7",          "EditMarker",     "ButtonMarker"};
  EXPECT_EQ(joined(tabWalk(page, page.lowerPages)), joined(scientific));
  stops = tabStops(page);
  stops.sort();
  QStringList sorted = scientific;
  sorted.sort();
  EXPECT_EQ(joined(stops), joined(sorted));
}

}  // namespace
}  // namespace kelvaro
