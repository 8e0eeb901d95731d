// The "Breathing Guide" page in the window: its place among the tabs, its fields and settings,
// the phases shown and announced on the window's clock, the cues, and the exercise kept at the end
// and at "Stop" and listed for the selected user.
#include <QAccessible>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "activity/UserList.h"
#include "app/pages/BreathingGuidePage.h"
#include "app/panels/GuidePanel.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

class GuidePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.startAnswered();
    w = h.window.get();
    page = w->pages().breathingGuide;
    panel = w->findChild<GuidePanel*>();
    ASSERT_NE(panel, nullptr);
  }
  // The window's clock on by `ms`, a frame at every 40 ms as the frame timer gives them.
  void advance(int ms) {
    for (int t = 0; t < ms; t += GuidePanel::kFrameMs) {
      h.ticks.advance(GuidePanel::kFrameMs);
      panel->showFrame();
    }
  }
  QString phase() const { return find<QLabel>(*w, "LabelGuidePhase").text(); }
  QByteArray guideFile() const {
    QFile file(h.home.filePath(QStringLiteral("Data/usr_guide.csv")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  WindowHarness h;
  MainWindow* w = nullptr;
  BreathingGuidePage* page = nullptr;
  GuidePanel* panel = nullptr;
};

TEST_F(GuidePageTest, IsTheTabAfterActivityMonitor) {
  QTabWidget& tabs = *w->pages().tabs;
  const int at = tabs.indexOf(page);
  ASSERT_GE(at, 1);
  EXPECT_EQ(tabs.tabText(at), QStringLiteral("Breathing Guide"));
  EXPECT_EQ(tabs.tabText(at - 1), QStringLiteral("Activity Monitor"));
  EXPECT_EQ(tabs.tabText(at + 1), QStringLiteral("Activity History"));
}

TEST_F(GuidePageTest, FieldsHaveTheirRangesNamesAndBuddies) {
  auto& pace = find<QDoubleSpinBox>(*w, "SpinEditPace");
  EXPECT_EQ(pace.minimum(), 3.0);
  EXPECT_EQ(pace.maximum(), 12.0);
  EXPECT_EQ(pace.singleStep(), 0.5);
  EXPECT_EQ(pace.value(), 6.0);
  auto& share = find<QSpinBox>(*w, "SpinEditInShare");
  EXPECT_EQ(share.minimum(), 30);
  EXPECT_EQ(share.maximum(), 60);
  EXPECT_EQ(share.value(), 40);
  for (const char* name : {"SpinEditHoldIn", "SpinEditHoldOut"}) {
    EXPECT_EQ(find<QDoubleSpinBox>(*w, name).maximum(), 5.0) << name;
    EXPECT_EQ(find<QDoubleSpinBox>(*w, name).value(), 0.0) << name;
  }
  auto& length = find<QSpinBox>(*w, "SpinEditGuideLength");
  EXPECT_EQ(length.minimum(), 1);
  EXPECT_EQ(length.maximum(), 30);
  EXPECT_EQ(length.value(), 5);
  EXPECT_FALSE(find<QCheckBox>(*w, "CheckBoxGuideSound").isChecked());
  const std::pair<const char*, const char*> buddies[] = {
      {"LabelPace", "SpinEditPace"},
      {"LabelInShare", "SpinEditInShare"},
      {"LabelHoldIn", "SpinEditHoldIn"},
      {"LabelHoldOut", "SpinEditHoldOut"},
      {"LabelGuideLength", "SpinEditGuideLength"},
      {"LabelGuideHistory", "TableGuideHistory"}};
  for (const auto& [label, field] : buddies) {
    EXPECT_EQ(find<QLabel>(*w, label).buddy(), &find<QWidget>(*w, field)) << label;
    EXPECT_EQ(find<QWidget>(*w, field).accessibleName(), find<QLabel>(*w, label).text()) << field;
  }
  EXPECT_EQ(find<QPushButton>(*w, "ButtonStartGuide").accessibleName(), QStringLiteral("Start"));
  EXPECT_FALSE(find<QPushButton>(*w, "ButtonStopGuide").isEnabled());
}

TEST_F(GuidePageTest, ShowsEachPhaseAtItsTimeAndCuesItWhenAsked) {
  find<QDoubleSpinBox>(*w, "SpinEditHoldIn").setValue(1.0);
  find<QCheckBox>(*w, "CheckBoxGuideSound").setChecked(true);
  find<QPushButton>(*w, "ButtonStartGuide").click();
  EXPECT_FALSE(find<QPushButton>(*w, "ButtonStartGuide").isEnabled());
  EXPECT_FALSE(find<QDoubleSpinBox>(*w, "SpinEditPace").isEnabled());
  EXPECT_TRUE(find<QPushButton>(*w, "ButtonStopGuide").isEnabled());
  EXPECT_EQ(phase(), QStringLiteral("Breathe in"));
  EXPECT_EQ(find<QLabel>(*w, "LabelGuideTarget").text(), QStringLiteral("6.0"));
  // 10 s a breath: in 3.6 s, hold 1 s, out 5.4 s.
  advance(3560);
  EXPECT_EQ(phase(), QStringLiteral("Breathe in"));
  advance(80);
  EXPECT_EQ(phase(), QStringLiteral("Hold"));
  advance(1000);
  EXPECT_EQ(phase(), QStringLiteral("Breathe out"));
  advance(5400);
  EXPECT_EQ(phase(), QStringLiteral("Breathe in"));
  // One cue at each phase's start: in, hold, out, in.
  ASSERT_EQ(h.sound.played.size(), 4);
  EXPECT_TRUE(h.sound.played.front().endsWith(QStringLiteral("breath-cue.wav")));
  EXPECT_EQ(find<QLabel>(*w, "LabelGuideTime").text(), QStringLiteral("00:10 of 05:00"));
}

TEST_F(GuidePageTest, StopKeepsTheExerciseAndListsIt) {
  find<QPushButton>(*w, "ButtonStartGuide").click();
  advance(65000);
  h.clock.advanceSecs(65);
  find<QPushButton>(*w, "ButtonStopGuide").click();
  EXPECT_TRUE(find<QPushButton>(*w, "ButtonStartGuide").isEnabled());
  EXPECT_TRUE(phase().isEmpty());
  // No belt sent anything: no rate and no score.
  EXPECT_EQ(guideFile(),
            QByteArray("09:00:00 10.12.2026;---- 1;00:01:05;6.0;---;---;00:00:00;\r\n"));
  EXPECT_TRUE(find<QLabel>(*w, "LabelGuideSummary")
                  .text()
                  .startsWith(QStringLiteral("Exercise of 01:05 at 6.0 breaths/min")))
      << find<QLabel>(*w, "LabelGuideSummary").text().toStdString();
  auto& table = find<QTableWidget>(*w, "TableGuideHistory");
  ASSERT_EQ(table.rowCount(), 1);
  EXPECT_EQ(table.item(0, 3)->text(), QStringLiteral("---"));
  EXPECT_EQ(find<QLabel>(*w, "LabelGuideHistory").text(), QStringLiteral("Exercises of ---- 1"));
}

TEST_F(GuidePageTest, EndsByItselfAfterItsLength) {
  find<QSpinBox>(*w, "SpinEditGuideLength").setValue(1);
  find<QPushButton>(*w, "ButtonStartGuide").click();
  advance(60040);
  EXPECT_FALSE(panel->running());
  EXPECT_TRUE(guideFile().startsWith("09:00:00 10.12.2026;---- 1;00:01:00;6.0;"));
}

TEST_F(GuidePageTest, ADamagedLineIsReportedAndTheOthersListed) {
  QDir(h.home.path()).mkdir(QStringLiteral("Data"));
  h.writeFile(h.home.filePath(QStringLiteral("Data/usr_guide.csv")),
              "08:00:00 01.12.2026;---- 1;00:05:00;6.0;6.2;80;00:03:00;\r\n"
              "garbage\r\n"
              "08:00:00 02.12.2026;---- 1;00:05:00;6.0;6.0;90;00:04:00;\r\n");
  panel->showHistory();
  auto& table = find<QTableWidget>(*w, "TableGuideHistory");
  ASSERT_EQ(table.rowCount(), 2);
  EXPECT_EQ(table.item(0, 3)->text(), QStringLiteral("90 % (+10)"));  // the latest first
  EXPECT_EQ(table.item(1, 3)->text(), QStringLiteral("80 %"));
  const QString trend = find<QLabel>(*w, "LabelGuideTrend").text();
  EXPECT_TRUE(trend.contains(QStringLiteral("usr_guide.csv, line 2: "))) << trend.toStdString();
  EXPECT_TRUE(trend.startsWith(QStringLiteral("Score trend: +10.0 points an exercise")));
}

TEST_F(GuidePageTest, SettingsAreKeptInTheirOwnSection) {
  find<QDoubleSpinBox>(*w, "SpinEditPace").setValue(5.5);
  find<QSpinBox>(*w, "SpinEditInShare").setValue(35);
  find<QDoubleSpinBox>(*w, "SpinEditHoldOut").setValue(2.0);
  find<QSpinBox>(*w, "SpinEditGuideLength").setValue(12);
  find<QCheckBox>(*w, "CheckBoxGuideSound").setChecked(true);
  w->close();
  const auto lines = h.darevLines();
  ASSERT_TRUE(lines.has_value());
  const int at = int(lines->indexOf(QStringLiteral("[Guide]")));
  ASSERT_GE(at, 0);
  EXPECT_EQ(lines->mid(at + 1, 6), QStringList({"Pace=5.5", "InShare=35", "HoldIn=0", "HoldOut=2",
                                                "Minutes=12", "Sound=1"}));
  // Read back by the next run.
  h.window.reset();
  ASSERT_TRUE(h.start());
  EXPECT_EQ(find<QDoubleSpinBox>(*h.window, "SpinEditPace").value(), 5.5);
  EXPECT_EQ(find<QSpinBox>(*h.window, "SpinEditGuideLength").value(), 12);
  EXPECT_TRUE(find<QCheckBox>(*h.window, "CheckBoxGuideSound").isChecked());
}

}  // namespace
}  // namespace kelvaro
