// What a screen reader reads from the window: read-outs say what they show, inputs are named by
// the label beside them, charts by their titles.
#include <QAccessible>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <utility>

#include <gtest/gtest.h>

#include "app/MainWindowTestSupport.h"
#include "app/dialogs/DongleNotFoundDialog.h"
#include "support/AccessibleChecks.h"
#include "widgets/LiveChart.h"

namespace kelvaro {
namespace {

using namespace kelvaro::testing;

// Raw forces 1000 and 500, accelerations 16, -16, 256, battery 3962 mV.
const QByteArray kBatteryValue = bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F");
// Raw forces 1250 and 500, temperature 25.37 degrees.
const QByteArray kTemperatureValue = bytes("01 00 7F 02 E2 04 F4 01 10 00 F0 FF 00 01 E9 09");

TEST(AccessibilityTest, ReadOutsReportWhatTheyShowAfterEveryUpdate) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;

  h.port.inject(notification(kBatteryValue));
  h.port.inject(notification(kTemperatureValue));

  struct Readout {
    const char* name;
    QAccessible::Text text;
    const char* shown;
  };
  const Readout readouts[] = {
      {"LabelF1", QAccessible::Name, "125"},
      {"LabelF2", QAccessible::Name, "-250"},
      {"EditNap", QAccessible::Value, "UN=3.962 V"},
      {"EditTemp", QAccessible::Value, "T=25.37 \u00B0C"},
      {"Gauge1", QAccessible::Value, "52"},
      {"LabelActF10", QAccessible::Name, "---"},
      {"LabelActivityFAvg", QAccessible::Name, "---"},
      {"LabelAkt10", QAccessible::Name, "---"},
      {"LabelAktPrum", QAccessible::Name, "---"},
      {"LabelErr", QAccessible::Name, "-"},
      {"LabelAlarmLevel", QAccessible::Name, "Alarm Level = 10"},
  };
  for (const Readout& r : readouts) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(accessibleText(&find<QWidget>(w, r.name), r.text), QString::fromUtf8(r.shown));
  }
  // The caption is heard with the value: a description for labels, the name for fields.
  EXPECT_EQ(accessibleDescription(&find<QWidget>(w, "LabelF1")), QStringLiteral("Force 1"));
  EXPECT_EQ(accessibleDescription(&find<QWidget>(w, "LabelF2")), QStringLiteral("Force 2"));
  EXPECT_EQ(accessibleName(&find<QWidget>(w, "EditNap")), QStringLiteral("Battery"));
  EXPECT_EQ(accessibleName(&find<QWidget>(w, "EditTemp")), QStringLiteral("Temperature"));
  EXPECT_EQ(accessibleName(&find<QWidget>(w, "Gauge1")), QStringLiteral("Battery"));

  find<QSlider>(w, "TrackBarAct").setValue(23);
  EXPECT_EQ(accessibleName(&find<QWidget>(w, "LabelAlarmLevel")),
            QStringLiteral("Alarm Level = 23"));
}

TEST(AccessibilityTest, TheConsolesAndTheInstructionsReportTheirText) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  auto& memo3 = find<QPlainTextEdit>(w, "Memo3");
  EXPECT_EQ(accessibleValue(&memo3), memo3.toPlainText());
  EXPECT_TRUE(accessibleValue(&memo3).endsWith(QStringLiteral("62 RepDisc=0000")));
  w.core().console().append(QStringLiteral("one more line"));
  EXPECT_TRUE(accessibleValue(&memo3).endsWith(QStringLiteral("one more line")));

  auto& memo1 = find<QPlainTextEdit>(w, "Memo1");
  EXPECT_EQ(accessibleValue(&memo1), GamingKeysPage::instructionLines().join(u'\n'));
}

TEST(AccessibilityTest, TheDongleNotFoundHelpIsReadWhole) {
  FixedPortCatalog catalog;
  TErrorDlg dialog(catalog, nullptr);
  const QString help = TErrorDlg::helpLines().join(u'\n');
  EXPECT_EQ(accessibleName(dialog.helpText), help);
  EXPECT_EQ(help.count(u'\n'), 18);
}

TEST(AccessibilityTest, ChartsAreNamedByTheirTitles) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  EXPECT_EQ(accessibleName(w.pages().chart), QStringLiteral("Live Graph"));
  auto& activity = find<QChartView>(w, "Chart2");
  EXPECT_EQ(accessibleName(&activity), activity.chart()->title());
  EXPECT_EQ(accessibleName(&activity), QStringLiteral("Activity Monitor"));
  auto& history = find<QChartView>(w, "ChartActHist");
  EXPECT_EQ(accessibleName(&history), QStringLiteral("Activity History"));
  w.pages().activityHistory->setChartTitle(QStringLiteral("Activity History for Default User"));
  EXPECT_EQ(history.chart()->title(), QStringLiteral("Activity History for Default User"));
  EXPECT_EQ(accessibleName(&history), history.chart()->title());
}

// Inputs without a caption of their own are named by the label beside them, and that label is
// exposed as their label.
TEST(AccessibilityTest, InputsAreNamedAndLabelledByTheLabelBesideThem) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  const struct {
    const char* input;
    const char* label;
  } cases[] = {
      {"EditLastID", "Label32"},          {"Gauge1", "LabelBattery"},
      {"TrackBarAct", "LabelAlarmLevel"}, {"SpinEditF1", "LabelTreshold"},
      {"SpinEditMax", "LabelForceAxis"},  {"SpinEdit2", "LabelSessionsPerPage"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    auto& input = find<QWidget>(w, c.input);
    auto& label = find<QLabel>(w, c.label);
    EXPECT_TRUE(labelledBy(&input, &label));
    EXPECT_FALSE(accessibleName(&input).isEmpty());
  }
}

// A hidden page is not offered at all: its tab is not among the page tabs and nothing on it can
// be reached in the window's tree; the shown ones keep their order and captions.
TEST(AccessibilityTest, OnlyTheShownPagesAreOfferedAsTabs) {
  const struct {
    const char* name;
    const char* darev;  // nullptr: none
    bool confirm;       // "Confirm Changes" on "Settings"
    QStringList tabs;
    const char* current;
  } cases[] = {
      {"AtStart",
       nullptr,
       false,
       {"Connection", "Settings", "Gaming Key Activation", "Activity Monitor", "Breathing Guide",
        "Activity History"},
       "Connection"},
      {"WithSpecSet",
       "[GLOBAL]\nSpecSet=1\n",
       false,
       {"Connection", "Settings", "Spec. Setting", "Gaming Key Activation", "Activity Monitor",
        "Breathing Guide", "Activity History"},
       "Connection"},
      {"AfterConfirmChanges",
       nullptr,
       true,
       {"Connection", "Settings", "Live Graph", "Gaming Key Activation", "Activity Monitor",
        "Breathing Guide", "Activity History"},
       "Live Graph"},
      {"AfterConfirmChangesWithSpecSet",
       "[GLOBAL]\nSpecSet=1\n",
       true,
       {"Connection", "Settings", "Live Graph", "Spec. Setting", "Gaming Key Activation",
        "Activity Monitor", "Breathing Guide", "Activity History"},
       "Live Graph"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WindowHarness h;
    if (c.darev) h.writeDarev(c.darev);
    h.startAnswered();
    MainWindow& w = *h.window;
    if (c.confirm) find<QPushButton>(w, "Button18").click();
    QString current;
    EXPECT_EQ(accessibleTabs(w.pages().tabs->tabBar(), &current), c.tabs);
    EXPECT_EQ(current, QString::fromLatin1(c.current));
    const std::pair<QWidget*, const char*> pages[] = {{w.pages().connection, "Connection"},
                                                      {w.pages().liveGraph, "Live Graph"},
                                                      {w.pages().specSetting, "Spec. Setting"}};
    for (const auto& [page, caption] : pages) {
      EXPECT_EQ(inAccessibleTree(&w, page), c.tabs.contains(QString::fromLatin1(caption)))
          << caption;
    }
  }
}

}  // namespace
}  // namespace kelvaro
