// The activity monitoring on the simulated belt, on the test's clock: the wearer breathes, then
// breathes shallowly, then stops; the program opens a session, sounds the alarm, and closes the
// session by itself with one line in the history.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "sim/Scenario.h"
#include "sim/SimDongle.h"
#include "sim/SimOptions.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

class ActivityEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SimOptions options;
    options.otherAdvertisers = 0;
    options.timeline = *ScenarioTimeline::parse(QStringLiteral("breathing:40,shallow:30,apnea"));
    dongle_ = std::make_unique<SimDongle>(options);
    h.startAnswered();
    dongle_->advanceTo(h.ticks.tick());
    h.port.onWrite = [this](const QByteArray& bytes) { dongle_->receive(bytes); };
    // The commands of a connection, straight to the dongle; "Last ID" as a connect leaves it.
    MainWindow& w = *h.window;
    find<QLineEdit>(w, "EditLastID").setText(dongle_->beltDeviceId(0));
    w.core().commands().sendConnectDirect(dongle_->beltDeviceId(0));
    run(500);
    w.core().commands().sendSet1();
    run(200);
    w.core().commands().sendSet2();
  }
  // The belt's bytes reach the program as the clock moves.
  void run(int ms) {
    for (int t = 0; t < ms; t += 10) {
      h.ticks.advance(10);
      h.clock.set(h.clock.now().addMSecs(10));
      dongle_->advanceTo(h.ticks.tick());
      const QByteArray out = dongle_->takeOutput();
      if (!out.isEmpty()) h.port.inject(out);
    }
  }
  bool sessionOpen() { return find<QPushButton>(*h.window, "ButtonStopAct").isEnabled(); }
  QStringList historyLines() const {
    QFile file(h.home.filePath(QStringLiteral("Data/usr_act.csv")));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  }

  WindowHarness h;
  std::unique_ptr<SimDongle> dongle_;
};

TEST_F(ActivityEndToEndTest, BreathingOpensShallowSoundsTheAlarmApneaCloses) {
  MainWindow& w = *h.window;
  // Calm breathing stays above this level, shallow breathing below it.
  find<QSlider>(w, "TrackBarAct").setValue(9);
  find<QCheckBox>(w, "CheckBoxSound").setChecked(true);

  run(35000);
  ASSERT_GT(w.core().measurement().notificationCount, 0u)
      << w.core().console().lines().join('\n').toStdString();
  EXPECT_TRUE(sessionOpen()) << "two lively blocks open a session";
  EXPECT_TRUE(h.sound.played.isEmpty()) << "no alarm while breathing";
  EXPECT_TRUE(historyLines().isEmpty());

  run(35000);  // to 70 s: shallow breathing
  EXPECT_FALSE(h.sound.played.isEmpty()) << "shallow breathing sounds the alarm";
  EXPECT_TRUE(sessionOpen()) << "shallow breathing is still activity";

  run(50000);  // to 120 s: no breathing
  EXPECT_FALSE(sessionOpen()) << "two still blocks close the session";
  const QStringList lines = historyLines();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines.first().contains(dongle_->beltDeviceId(0))) << lines.first().toStdString();
}

}  // namespace
}  // namespace kelvaro
