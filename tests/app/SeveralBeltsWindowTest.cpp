// Several belts on the simulated dongle through the window: "Add Belt" and "Connect Selected"
// add a belt on the next connection while the first streams on; each belt's notifications stay
// its own (read-outs, chart line, recording); a belt's lost link, a refused fourth belt and the
// Disconnect of one belt touch no other.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include "SimWindowSupport.h"
#include "app/panels/BeltsPanel.h"
#include "base/SettingsFile.h"
#include "sim/Scenario.h"
#include "widgets/LiveChart.h"

namespace kelvaro {
namespace {

using testing::find;

class SeveralBeltsWindowTest : public testing::SimWindowTest {
 protected:
  static SimOptions options(int belts) {
    SimOptions o;
    o.belts = belts;
    o.otherAdvertisers = 0;
    o.maxConnections = 3;
    return o;
  }
  // "Add Belt", then "Connect Selected" on the simulated belt `index` once the scan hears it.
  void add(int index) {
    find<QPushButton>(*w, "ButtonAddBelt").click();
    ASSERT_EQ(w->pages().tabs->currentWidget(), w->pages().connection);
    auto& grid = find<QTableWidget>(*w, "StringGridScan");
    const QString id = dongle->beltDeviceId(index);
    int row = -1;
    until(
        [&] {
          for (int r = 0; r < grid.rowCount(); ++r) {
            if (grid.item(r, 2) && grid.item(r, 2)->text() == id) row = r;
          }
          return row >= 0;
        },
        5000);
    ASSERT_GE(row, 0) << "the scan hears belt " << index;
    grid.setCurrentCell(row, 2);
    find<QPushButton>(*w, "ButtonConnect").click();
  }
  // The first belt connected, then the second added, both streaming for a second.
  void startWithTwoBelts() {
    start(options(3));
    step(2000);
    add(1);
    until([&] { return belts() == 2; }, 5000);
    ASSERT_EQ(belts(), 2) << w->core().console().lines().join('\n').toStdString();
    step(1000);
  }
  int belts() const { return w->core().beltCount(); }
  std::uint32_t count(int belt) const { return w->core().belt(belt).measurement.notificationCount; }
};

TEST_F(SeveralBeltsWindowTest, ASecondBeltStreamsBesideTheFirstOnItsOwnConnection) {
  start(options(3));
  step(2000);
  add(1);
  until([&] { return belts() == 2; }, 5000);
  ASSERT_EQ(belts(), 2) << w->core().console().lines().join('\n').toStdString();
  // Added: "Connection" hidden again, the Live Graph in front.
  EXPECT_FALSE(w->pageShown(w->pages().connection));
  EXPECT_EQ(w->pages().tabs->currentWidget(), w->pages().liveGraph);
  EXPECT_EQ(w->core().belt(1).handle, 1);
  EXPECT_EQ(w->core().belt(1).deviceId, dongle->beltDeviceId(1));
  EXPECT_TRUE(dongle->streaming(0));
  EXPECT_TRUE(dongle->streaming(1));
  EXPECT_TRUE(w->core().console().lines().contains(QStringLiteral("**** Set2 OK H=01")));

  find<QPushButton>(*w, "ButtonStartLog").click();
  const std::uint32_t first = count(0);
  const std::uint32_t second = count(1);
  step(4000);
  EXPECT_GT(count(0), first + 60);
  EXPECT_GT(count(1), second + 60);
  EXPECT_NE(w->core().belt(0).measurement.rawForce1, w->core().belt(1).measurement.rawForce1);

  // The belt list, the chart's line and the legend.
  auto& combo = find<QComboBox>(*w, "ComboBelt");
  ASSERT_EQ(combo.count(), 2);
  EXPECT_EQ(combo.itemText(1), dongle->beltDeviceId(1).right(4));
  ASSERT_EQ(w->pages().chart->beltLines().size(), 1u);
  EXPECT_EQ(w->pages().chart->beltLines()[0].model, &w->core().belt(1).graph);

  // One CSV file a belt, each with its own belt's rows.
  find<QPushButton>(*w, "ButtonEndLog").click();
  step(200);
  QFile firstFile(folder.filePath(QStringLiteral("File Name.csv")));
  QFile secondFile(folder.filePath(QStringLiteral("File Name_%1.csv").arg(combo.itemText(1))));
  ASSERT_TRUE(firstFile.open(QIODevice::ReadOnly));
  ASSERT_TRUE(secondFile.open(QIODevice::ReadOnly));
  const QByteArray firstRows = firstFile.readAll();
  const QByteArray secondRows = secondFile.readAll();
  EXPECT_GT(firstRows.count("\r\n"), 60);
  EXPECT_GT(secondRows.count("\r\n"), 60);
  EXPECT_NE(firstRows.left(200), secondRows.left(200));
}

TEST_F(SeveralBeltsWindowTest, TheChosenBeltIsShownNamedAndDisconnectedAlone) {
  startWithTwoBelts();
  if (HasFatalFailure()) return;

  auto& combo = find<QComboBox>(*w, "ComboBelt");
  combo.setCurrentIndex(1);
  EXPECT_EQ(w->core().shownBelt(), 1);
  step(500);
  EXPECT_EQ(find<QLabel>(*w, "LabelF1").text().toInt(),
            qRound(w->core().belt(1).measurement.force1Grams));

  // Named "Anna": in the list, the legend and Darev.ini, by the belt's DeviceId.
  auto& name = find<QLineEdit>(*w, "EditBeltName");
  name.setText(QStringLiteral("Anna"));
  emit name.editingFinished();
  step(50);
  EXPECT_EQ(combo.itemText(1), QStringLiteral("Anna"));
  EXPECT_EQ(w->core().belt(1).name, QStringLiteral("Anna"));
  EXPECT_EQ(w->pages().chart->beltLines().at(0).name, QStringLiteral("Anna"));
  SettingsFile ini(w->settingsPath());
  EXPECT_EQ(ini.readString(BeltsPanel::kSection, dongle->beltDeviceId(1), QString()),
            QStringLiteral("Anna"));

  // "Disconnect" ends the chosen belt only.
  find<QPushButton>(*w, "Button20").click();
  step(1000);
  EXPECT_EQ(belts(), 1);
  EXPECT_FALSE(dongle->streaming(1));
  EXPECT_TRUE(dongle->streaming(0));
  EXPECT_EQ(w->pages().tabs->currentWidget(), w->pages().liveGraph);
  EXPECT_EQ(w->core().shownBelt(), 0);
  EXPECT_TRUE(w->pages().chart->beltLines().empty());
  const std::uint32_t before = count(0);
  step(1000);
  EXPECT_GT(count(0), before + 15);
}

TEST_F(SeveralBeltsWindowTest, TheKeyPageEditsTheChosenBeltsThresholdAndKey) {
  startWithTwoBelts();
  if (HasFatalFailure()) return;
  auto& threshold = find<QSpinBox>(*w, "SpinEditF1");
  auto& key = find<QSpinBox>(*w, "SpinEditKeyF1");
  const int firstThreshold = threshold.value();
  const int firstKey = key.value();
  const KeyActivationValues first = w->core().keys().values();

  // The second belt chosen: the page shows its values (the first belt's threshold, Arrow Left).
  find<QComboBox>(*w, "ComboBelt").setCurrentIndex(1);
  EXPECT_EQ(threshold.value(), first.forceThreshold);
  EXPECT_EQ(key.value(), BeltsPanel::kDefaultKeys[0]);
  threshold.setValue(80);
  key.setValue(65);
  EXPECT_EQ(w->core().belt(1).keys.values().forceThreshold, 80);
  EXPECT_EQ(w->core().belt(1).keys.values().forceKey, 65);
  EXPECT_EQ(w->core().keys().values().forceThreshold, first.forceThreshold);
  EXPECT_EQ(w->core().keys().values().forceKey, first.forceKey);
  SettingsFile ini(w->settingsPath());
  const QString id = dongle->beltDeviceId(1);
  EXPECT_EQ(ini.readInteger(BeltsPanel::kSection, id + QStringLiteral(".Threshold"), -1), 80);
  EXPECT_EQ(ini.readInteger(BeltsPanel::kSection, id + QStringLiteral(".Key"), -1), 65);

  // The first belt chosen again: its own fields back, and they are what the window writes back.
  find<QComboBox>(*w, "ComboBelt").setCurrentIndex(0);
  EXPECT_EQ(threshold.value(), firstThreshold);
  EXPECT_EQ(key.value(), firstKey);
  find<QComboBox>(*w, "ComboBelt").setCurrentIndex(1);
  EXPECT_EQ(threshold.value(), 80);
  w->close();
  EXPECT_EQ(ini.readInteger(QStringLiteral("Keys"), QStringLiteral("LIMF1"), -1), firstThreshold);
}

TEST_F(SeveralBeltsWindowTest, TheFirstBeltsLostLinkLeavesTheSecondStreaming) {
  startWithTwoBelts();
  if (HasFatalFailure()) return;

  dongle->loseLink(0);
  const std::uint32_t second = count(1);
  const std::uint32_t lostAt = h.ticks.tick();
  until([&] { return w->core().linkGuard().state() != LinkGuard::State::Connected; }, 5000);
  EXPECT_NE(w->core().linkGuard().state(), LinkGuard::State::Connected);
  until([&] { return w->core().linkGuard().state() == LinkGuard::State::Connected; }, 10000);
  EXPECT_EQ(w->core().linkGuard().state(), LinkGuard::State::Connected);
  // The second belt streamed on all the while, on its connection.
  EXPECT_EQ(w->core().belt(1).guard.state(), LinkGuard::State::Connected);
  // About one notification every 50 ms, through the loss and the reconnect.
  const std::uint32_t elapsed = h.ticks.tick() - lostAt;
  EXPECT_GT(elapsed, 1000u);
  EXPECT_GE(count(1) - second, elapsed / 50 - 2);
  EXPECT_TRUE(dongle->streaming(1));
  EXPECT_EQ(w->core().belt(1).handle, 1);
}

TEST_F(SeveralBeltsWindowTest, ASecondBeltsLostLinkIsMendedOnItsOwn) {
  startWithTwoBelts();
  if (HasFatalFailure()) return;

  dongle->loseLink(1);
  until([&] { return w->core().belt(1).guard.state() != LinkGuard::State::Connected; }, 5000);
  EXPECT_NE(find<QLabel>(*w, "LabelLinkLost").text().indexOf(dongle->beltDeviceId(1)), -1);
  until([&] { return w->core().belt(1).guard.state() == LinkGuard::State::Connected; }, 15000);
  EXPECT_EQ(w->core().belt(1).guard.state(), LinkGuard::State::Connected)
      << w->core().console().lines().join('\n').toStdString();
  EXPECT_EQ(w->core().linkGuard().state(), LinkGuard::State::Connected);
  const std::uint32_t second = count(1);
  step(1000);
  EXPECT_GT(count(1), second + 15);
  EXPECT_TRUE(find<QLabel>(*w, "LabelLinkLost").isHidden());
}

TEST_F(SeveralBeltsWindowTest, AFurtherBeltsHeldBreathIsBannedWithItsName) {
  SimOptions o = options(3);
  QString why;
  o.beltTimelines.push_back({1, *ScenarioTimeline::parse(QStringLiteral("apnea:600"), &why)});
  start(o);
  step(2000);
  add(1);
  until([&] { return belts() == 2; }, 5000);
  ASSERT_EQ(belts(), 2);
  auto& banner = *w->pages().apneaBanner;
  until([&] { return !banner.isHidden(); }, 60000);
  ASSERT_FALSE(banner.isHidden());
  EXPECT_TRUE(banner.text().endsWith(QStringLiteral(" \u2014 ") + w->core().belt(1).name))
      << banner.text().toStdString();
  // The read-outs' rate stays the first belt's.
  EXPECT_EQ(w->core().shownBelt(), 0);
}

TEST_F(SeveralBeltsWindowTest, TheDongleRefusesAFourthBeltAtThreeConnections) {
  start(options(4));
  step(2000);
  add(1);
  until([&] { return belts() == 2; }, 5000);
  add(2);
  until([&] { return belts() == 3; }, 5000);
  ASSERT_EQ(belts(), 3);
  // The refusal's message box, answered whenever it comes.
  QString said;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      said = box->text();
      box->accept();
    }
  });
  answer.start(0);
  add(3);
  step(500);
  answer.stop();
  EXPECT_EQ(said, FurtherBelts::kAllInUseText.arg(3));
  EXPECT_EQ(belts(), 3);
  EXPECT_TRUE(dongle->streaming(0));
  EXPECT_TRUE(dongle->streaming(1));
  EXPECT_TRUE(dongle->streaming(2));

  // "Disconnect All" ends every belt and goes back to "Connection".
  find<QPushButton>(*w, "ButtonDisconnectAll").click();
  step(1000);
  EXPECT_EQ(belts(), 1);
  EXPECT_FALSE(dongle->streaming(0));
  EXPECT_FALSE(dongle->streaming(1));
  EXPECT_FALSE(dongle->streaming(2));
  EXPECT_EQ(w->pages().tabs->currentWidget(), w->pages().connection);
}

}  // namespace
}  // namespace kelvaro

namespace kelvaro {
namespace {

// A typed or stored name as sensor names, labels and file names can take it.
TEST(BeltNames, ATypedNameIsCleanedForLabelsAndFileNames) {
  const struct {
    const char* typed;
    const char* clean;
  } cases[] = {
      {"Anna", "Anna"},
      {"  Anna  ", "Anna"},
      {"Ann Marie", "Ann_Marie"},
      {"a/b\\c\"d;e", "abcde"},
      {"Jiří-2_x", "Jiří-2_x"},
      {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKL"},
      {"../..", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(BeltsPanel::cleanName(QString::fromUtf8(c.typed)), QString::fromUtf8(c.clean));
  }
}

}  // namespace
}  // namespace kelvaro
