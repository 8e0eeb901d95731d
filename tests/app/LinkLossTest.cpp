// A lost link on the in-process simulated dongle, on the test's clock: the belt's link drops
// (the dongle's event) or its notifications stop (silence); the window says so, marks the gap
// and connects to the same belt again by itself, with a recording and a session running on.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <memory>

#include <gtest/gtest.h>

#include "SimWindowSupport.h"
#include "app/panels/LinkPanel.h"
#include "sim/SimDongle.h"
#include "sim/SimOptions.h"
#include "support/AccessibleChecks.h"

namespace kelvaro {
namespace {

using testing::accessibleDescription;
using testing::accessibleName;
using testing::accessibleState;
using testing::accessibleTabs;
using testing::find;
using testing::inAccessibleTree;
using testing::WindowHarness;

class LinkLossTest : public testing::SimWindowTest {
 protected:
  int rows() const {
    QFile f(folder.filePath(QStringLiteral("File Name.csv")));
    return f.open(QIODevice::ReadOnly) ? static_cast<int>(f.readAll().count("\r\n")) : -1;
  }
  QLabel& lostLabel() const { return find<QLabel>(*w, "LabelLinkLost"); }
  LinkGuard::State state() const { return w->core().linkGuard().state(); }
};
TEST_F(LinkLossTest, ALostLinkIsShownAndMendedWithTheRecordingAndSessionGoingOn) {
  SimOptions options;
  options.otherAdvertisers = 0;
  options.faults.linkLossAfterMs = 20000;
  start(options);
  find<QPushButton>(*w, "ButtonStartLog").click();
  find<QPushButton>(*w, "ButtonStartAct").click();
  step(5000);
  ASSERT_EQ(state(), LinkGuard::State::Connected);
  ASSERT_GT(rows(), 50);

  // The link drops 20 s after it was made.
  const std::uint32_t shown = until([&] { return !lostLabel().isHidden(); }, 20000);
  EXPECT_EQ(w->core().console().lines().filter(QStringLiteral("Link lost")),
            QStringList{QStringLiteral("Link lost: supervision time-out (0x0208)")});
  EXPECT_EQ(lostLabel().text(), LinkPanel::lostText(belt));
  EXPECT_EQ(find<QLabel>(*w, "LabelLink").text(), LinkPanel::lostText(belt));
  EXPECT_GT(shown, 10000u);
  const int rowsAtLoss = rows();

  const std::uint32_t back = until([&] { return state() == LinkGuard::State::Connected; }, 10000);
  EXPECT_LT(back, 5000u) << "streaming again within 5 s";
  step(3000);
  EXPECT_TRUE(lostLabel().isHidden());
  EXPECT_FALSE(find<QLabel>(*w, "LabelLink").isVisible());
  EXPECT_EQ(w->core().console().lines().filter(QStringLiteral("Link back")).size(), 1);
  EXPECT_GT(rows(), rowsAtLoss + 30) << "the recording goes on";
  // One row a plotted notification: the first eleven of the run were not plotted, and the
  // reconnect neither zeroes again nor writes a row twice.
  EXPECT_EQ(rows(), static_cast<int>(w->core().measurement().notificationCount) - 11);
  EXPECT_TRUE(find<QPushButton>(*w, "ButtonStopAct").isEnabled()) << "the session stays open";
  int breaks = 0;
  for (int slot = 0; slot <= livegraph::kLastPoint; ++slot) {
    breaks += w->core().graph().lineBrokenBefore(slot);
  }
  EXPECT_EQ(breaks, 1) << "a break in the line where the data stopped";
}

TEST_F(LinkLossTest, SilenceIsALossAndWhatTheDongleStillHeldIsEndedBeforeReconnecting) {
  SimOptions options;
  options.otherAdvertisers = 0;
  start(options);
  step(3000);
  deaf = true;  // the dongle keeps its link, but nothing reaches the program
  const std::uint32_t shown = until([&] { return !lostLabel().isHidden(); }, 10000);
  EXPECT_GE(shown, 3000u);
  EXPECT_LE(shown, 3500u) << "within 3.5 s";
  EXPECT_EQ(w->core().console().lines().filter(QStringLiteral("Link lost")),
            QStringList{QStringLiteral("Link lost: no notification for 3 s")});
  deaf = false;
  const std::uint32_t back = until([&] { return state() == LinkGuard::State::Connected; }, 10000);
  EXPECT_LT(back, 5000u);
  const QStringList lines = w->core().console().lines();
  const int lost =
      static_cast<int>(lines.indexOf(QStringLiteral("Link lost: no notification for 3 s")));
  // The leftovers first: a disconnect and an end of procedure, then the phases.
  const QStringList after = lines.mid(lost);
  const int disconnect = static_cast<int>(after.indexOf(QStringLiteral("Write6")));
  const int connect = static_cast<int>(after.indexOf(QStringLiteral("Write4")));
  EXPECT_GE(disconnect, 0) << after.join('\n').toStdString();
  EXPECT_LT(disconnect, connect);
  EXPECT_TRUE(after.contains(QStringLiteral("**** Set2 OK")));
}

TEST_F(LinkLossTest, DisconnectDuringTheWaitStopsTheAttempts) {
  SimOptions options;
  options.otherAdvertisers = 0;
  options.faults.linkLossAfterMs = 2000;
  start(options);
  ASSERT_LT(until([&] { return state() == LinkGuard::State::Lost; }, 5000), 5000u);
  find<QPushButton>(*w, "Button20").click();
  EXPECT_EQ(state(), LinkGuard::State::Idle);
  EXPECT_TRUE(lostLabel().isHidden());
  const int connects =
      static_cast<int>(w->core().console().lines().count(QStringLiteral("Write4")));
  step(30000);
  EXPECT_EQ(w->core().console().lines().count(QStringLiteral("Write4")), connects) << "no attempt";
  EXPECT_EQ(w->pages().tabs->currentWidget(), w->pages().connection);
}

// The dongle pulled out after the start-up: the run goes on, the status bar says so, and once
// it is back the belt streams again without a click.
TEST_F(LinkLossTest, ADonglePulledOutIsWaitedForAndTheBeltConnectedAgain) {
  SimOptions options;
  options.otherAdvertisers = 0;
  start(options);
  step(3000);
  deaf = true;
  h.port.failOpen = true;
  h.port.loseConnection(QStringLiteral("/dev/ttyACM0: No such device"));
  step(8000);
  EXPECT_TRUE(h.exitCodes.isEmpty()) << "the run goes on";
  EXPECT_EQ(find<QLabel>(*w, "LabelLink").text(), LinkPanel::kDongleGoneText);
  EXPECT_EQ(w->core().console().lines().filter(QStringLiteral("Dongle gone")),
            QStringList{QStringLiteral(
                "Dongle gone: /dev/ttyACM0: No such device — waiting for it to come back")});
  EXPECT_FALSE(lostLabel().isHidden()) << "and the belt is out of reach meanwhile";
  EXPECT_TRUE(h.reports.isEmpty()) << "no attempt wrote to the missing port";

  // Plugged in again.
  deaf = false;
  h.port.failOpen = false;
  const std::uint32_t back = until([&] { return state() == LinkGuard::State::Connected; }, 20000);
  EXPECT_LT(back, 5000u) << "streaming again within 5 s of the replug";
  EXPECT_EQ(w->core().console().lines().filter(QStringLiteral("Dongle back")),
            QStringList{QStringLiteral("Dongle back on /dev/ttyACM0")});
  step(2000);
  EXPECT_TRUE(lostLabel().isHidden());
  EXPECT_FALSE(find<QLabel>(*w, "LabelLink").isVisible());
  EXPECT_TRUE(h.exitCodes.isEmpty());
}

// While the belt streams only the pages shown are offered to assistive technology: "Connection"
// and "Spec. Setting" are hidden, and so out of the tree; "Disconnect" brings "Connection" back.
TEST_F(LinkLossTest, WhileTheBeltStreamsOnlyTheShownPagesAreOfferedAsTabs) {
  SimOptions options;
  options.otherAdvertisers = 0;
  start(options);
  step(1000);
  ASSERT_GT(w->core().measurement().notificationCount, 10u);
  QString current;
  EXPECT_EQ(accessibleTabs(w->pages().tabs->tabBar(), &current),
            (QStringList{"Settings", "Live Graph", "Gaming Key Activation", "Activity Monitor",
                         "Breathing Guide", "Activity History"}));
  EXPECT_EQ(current, QStringLiteral("Live Graph"));
  EXPECT_FALSE(inAccessibleTree(w, w->pages().connection));
  EXPECT_FALSE(inAccessibleTree(w, w->pages().specSetting));
  EXPECT_TRUE(inAccessibleTree(w, w->pages().liveGraph));

  find<QPushButton>(*w, "Button20").click();
  EXPECT_EQ(accessibleTabs(w->pages().tabs->tabBar(), &current),
            (QStringList{"Connection", "Settings", "Gaming Key Activation", "Activity Monitor",
                         "Breathing Guide", "Activity History"}));
  EXPECT_EQ(current, QStringLiteral("Connection"));
  EXPECT_FALSE(inAccessibleTree(w, w->pages().liveGraph));
}

// The read-outs while the belt cannot be reached: the forces say "---", the force bar and the
// battery gauge are greyed (the gauge's value "---") and described by the status bar's words;
// the first notifications after the loss show current values again.
class ReadoutsOutOfReachTest : public LinkLossTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ReadoutsOutOfReachTest, ShowNotCurrentUntilNotificationsComeAgain) {
  const bool unplug = GetParam();  // the dongle pulled out, else the belt's link dropped
  SimOptions options;
  options.otherAdvertisers = 0;
  if (!unplug) options.faults.linkLossAfterMs = 4000;
  start(options);
  auto& f1 = find<QLabel>(*w, "LabelF1");
  auto& f2 = find<QLabel>(*w, "LabelF2");
  auto& gauge = find<QProgressBar>(*w, "Gauge1");
  auto& forceBar = find<QProgressBar>(*w, "ProgressBar1");
  const auto expectCurrent = [&] {
    for (QLabel* force : {&f1, &f2}) {
      EXPECT_NE(force->text(), QStringLiteral("---"));
      EXPECT_EQ(accessibleName(force), force->text());
    }
    for (QProgressBar* bar : {&gauge, &forceBar}) {
      SCOPED_TRACE(bar->objectName().toStdString());
      EXPECT_TRUE(bar->isEnabled());
      EXPECT_FALSE(accessibleState(bar).disabled);
      EXPECT_EQ(accessibleDescription(bar), QString());
    }
    EXPECT_TRUE(gauge.text().endsWith(u'%')) << gauge.text().toStdString();
  };
  step(2000);
  expectCurrent();

  if (unplug) {
    deaf = true;
    h.port.failOpen = true;
    h.port.loseConnection(QStringLiteral("/dev/ttyACM0: No such device"));
    step(10);
  } else {
    ASSERT_LT(until([&] { return !lostLabel().isHidden(); }, 5000), 5000u);
  }
  const QString why = unplug ? LinkPanel::kDongleGoneText : LinkPanel::lostText(belt);
  ASSERT_EQ(find<QLabel>(*w, "LabelLink").text(), why);
  for (QLabel* force : {&f1, &f2}) {
    EXPECT_EQ(force->text(), QStringLiteral("---"));
    EXPECT_EQ(accessibleName(force), QStringLiteral("---"));
  }
  EXPECT_EQ(accessibleDescription(&f1), QStringLiteral("Force 1"));
  EXPECT_EQ(accessibleDescription(&f2), QStringLiteral("Force 2"));
  for (QProgressBar* bar : {&gauge, &forceBar}) {
    SCOPED_TRACE(bar->objectName().toStdString());
    EXPECT_FALSE(bar->isEnabled());
    EXPECT_TRUE(accessibleState(bar).disabled);
    EXPECT_EQ(accessibleDescription(bar), why);
  }
  EXPECT_EQ(gauge.text(), QStringLiteral("---"));
  if (!unplug) {
    EXPECT_EQ(find<QLabel>(*w, "LabelRate").text(), QStringLiteral("---"));
  }

  if (unplug) {
    deaf = false;
    h.port.failOpen = false;
  }
  ASSERT_LT(until([&] { return state() == LinkGuard::State::Connected; }, 20000), 20000u);
  step(500);
  expectCurrent();
}

INSTANTIATE_TEST_SUITE_P(LinkLossTest, ReadoutsOutOfReachTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "DonglePulledOut" : "LinkDropped";
                         });

// Before the first discover was answered the watchdog ends the run, as it always did.
TEST_F(LinkLossTest, ADongleThatNeverAnsweredStillEndsTheRun) {
  h.port.onWrite = nullptr;
  ASSERT_TRUE(h.start());
  h.tickDongleWatchdog();
  EXPECT_EQ(h.exitCodes, QList<int>{3});
}

}  // namespace
}  // namespace kelvaro
