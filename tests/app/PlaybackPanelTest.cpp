// "Play capture…" on the Connection page, in the whole window on the simulated dongle and in real
// time: the recorded belt streams through the road with the status bar saying so, until the end
// of the recording or "Disconnect", and then the dongle's port is back.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <string>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "app/panels/PlaybackPanel.h"
#include "app/shell/PortRouter.h"
#include "capture/CaptureFormat.h"
#include "sim/SimDongle.h"

namespace kelvaro {
namespace {

using testing::find;

// The recorded belt 0007800A1B2C, connected at 0.1 s, streaming `count` notifications 50 ms apart
// whose force 1 counts up from 1000.
QByteArray captureOf(int count) {
  CaptureHeader header;
  header.program = QStringLiteral("kelvaro-monitor/3.24");
  header.start = QDateTime(QDate(2026, 1, 5), QTime(10, 0), Qt::UTC);
  std::string text = captureHeaderLine(header).toStdString();
  const auto line = [&text](std::uint64_t us, const QByteArray& bytes) {
    appendCaptureRecord(text, us, capture::Direction::Received, bytes.constData(),
                        std::size_t(bytes.size()));
  };
  line(100000, testing::bytes("80 10 03 00 00 05 2c 1b 0a 80 07 00 00 3c 00 64 00 00 00 ff"));
  line(150000, testing::bytes("80 05 04 01 00 00 00 1a 00"));
  for (int i = 0; i < count; ++i) {
    testing::RawValues raw;
    raw.force1 = static_cast<std::uint16_t>(1000 + i);
    raw.tag = static_cast<std::uint8_t>(i);
    line(200000 + std::uint64_t(i) * 50000, testing::notificationBytes(raw));
  }
  return QByteArray::fromStdString(text);
}

class PlaybackPanelTest : public ::testing::Test {
 protected:
  PlaybackPanelTest() {
    QApplication::setQuitOnLastWindowClosed(false);
    env.ticks = &ticks;
    env.pump = &pump;
    env.port = &port;
    env.catalog = &catalog;
    env.volume = &volume;
    env.homeDir = home.path();
    env.forcedPort = QStringLiteral("SIM");
    env.setPlayback = [this](const SimPlayback& p) { port.setPlayback(p); };
    env.playbackProgress = [this] { return port.playbackProgress(); };
    env.reportError = [this](const QString& text) { reports << text; };
    env.endProcess = [](int) {};
    env.showDongleNotFound = [] {};
  }

  QString write(const char* name, const QByteArray& content) {
    QFile f(home.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return f.fileName();
  }
  // The window up on the simulated dongle, which has answered the first discover.
  MainWindow& start() {
    window = std::make_unique<MainWindow>(env);
    EXPECT_TRUE(window->startUp());
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return window->core().link().discoverAnswered == LinkAnswer::Good; }, 10000));
    window->playback().setAskOpenPath([this](const QString&) { return answer; });
    return *window;
  }
  QString console() const { return window->core().console().lines().join('\n'); }
  QLabel& status() const { return find<QLabel>(*window, "LabelPlayback"); }

  QTemporaryDir home;
  SteadyTickSource ticks;
  QtEventPump pump;
  PortRouter port{ticks};
  FixedPortCatalog catalog;
  NullMasterVolume volume;
  MonitorEnvironment env;
  QStringList reports;
  std::optional<QString> answer;
  std::unique_ptr<MainWindow> window;
};

TEST_F(PlaybackPanelTest, ACapturePlaysThroughTheWholeRoadUntilItsEndThenTheDongleIsBack) {
  env.playbackPace.speed = 2;
  answer = write("belt.capture", captureOf(120));  // 6 s of the belt, 3 s at twice the pace
  MainWindow& w = start();
  auto& button = find<QPushButton>(w, "ButtonPlayCapture");
  EXPECT_EQ(button.text(), QStringLiteral("Play capture\u2026"));
  EXPECT_TRUE(button.isEnabled());

  button.click();  // returns once the connection has settled
  ASSERT_TRUE(reports.isEmpty()) << reports.join('\n').toStdString();
  EXPECT_TRUE(w.playback().playing());
  EXPECT_EQ(port.portName(), QStringLiteral("REPLAY"));
  EXPECT_EQ(w.pages().tabs->currentWidget(), w.pages().liveGraph);
  EXPECT_TRUE(console().contains(QStringLiteral("Play capture %1: belt 0007800A1B2C, 120 "
                                                "notifications, 0:06")
                                     .arg(*answer)))
      << console().toStdString();
  EXPECT_NE(find<QLineEdit>(w, "EditLastID").text(), QStringLiteral("0007800A1B2C"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !status().isHidden(); }, 2000));
  EXPECT_TRUE(status().text().startsWith(QStringLiteral("Playing belt.capture \u00D72  0:0")))
      << status().text().toStdString();
  EXPECT_TRUE(status().text().endsWith(QStringLiteral(" / 0:06"))) << status().text().toStdString();
  EXPECT_FALSE(button.isEnabled()) << "one capture at a time";

  // The recorded notifications through the road.
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return w.core().measurement().notificationCount >= 40; }, 5000));
  const std::uint32_t seen = w.core().measurement().notificationCount;

  // The end: the belt is gone for good, the window goes back to the dongle and scans it.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.playback().playing(); }, 8000))
      << console().toStdString();
  EXPECT_GT(seen, 0u);
  EXPECT_EQ(port.portName(), QStringLiteral("SIM"));
  EXPECT_EQ(w.pages().tabs->currentWidget(), w.pages().connection);
  EXPECT_TRUE(status().isHidden());
  EXPECT_TRUE(button.isEnabled());
  EXPECT_TRUE(console().contains(QStringLiteral("Play capture ended: ") + *answer));
  const QString simulated = SimDongle(SimOptions()).beltDeviceId(0);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        for (int i = 0; i < w.core().scanList().ScanCount(); ++i) {
          if (DeviceId(w.core().scanList().entry(i)) == simulated) return true;
        }
        return false;
      },
      10000))
      << "the simulated dongle scans again";
  EXPECT_TRUE(reports.isEmpty()) << reports.join('\n').toStdString();
}

TEST_F(PlaybackPanelTest, DisconnectEndsThePlaybackAndTheDongleIsBack) {
  answer = write("belt.capture", captureOf(400));  // 20 s of the belt
  MainWindow& w = start();
  find<QPushButton>(w, "ButtonPlayCapture").click();
  ASSERT_TRUE(w.playback().playing()) << console().toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.core().measurement().notificationCount >= 5; }, 5000));
  find<QPushButton>(w, "Button20").click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.playback().playing(); }, 2000));
  EXPECT_EQ(port.portName(), QStringLiteral("SIM"));
  EXPECT_EQ(w.pages().tabs->currentWidget(), w.pages().connection);
  EXPECT_TRUE(status().isHidden());
  EXPECT_TRUE(reports.isEmpty()) << reports.join('\n').toStdString();
}

TEST_F(PlaybackPanelTest, AFileThatCannotBePlayedIsReportedAndTheDongleStays) {
  answer = write("notes.txt", "time;force\n");
  MainWindow& w = start();
  find<QPushButton>(w, "ButtonPlayCapture").click();
  ASSERT_EQ(reports.size(), 1);
  EXPECT_EQ(reports[0], *answer + QStringLiteral(":1: not a capture: the first line does not "
                                                 "begin with \"kelvaro-capture\""));
  EXPECT_FALSE(w.playback().playing());
  EXPECT_EQ(port.portName(), QStringLiteral("SIM"));

  // Cancelled: nothing at all.
  answer.reset();
  find<QPushButton>(w, "ButtonPlayCapture").click();
  EXPECT_EQ(reports.size(), 1);
  EXPECT_EQ(port.portName(), QStringLiteral("SIM"));
}

TEST_F(PlaybackPanelTest, ADamagedCapturePlaysWhatCameBeforeAndTheConsoleNamesTheDamage) {
  answer = write("cut.capture", captureOf(30) + "1800000 < 80 15 04");
  MainWindow& w = start();
  find<QPushButton>(w, "ButtonPlayCapture").click();
  EXPECT_TRUE(console().contains(*answer + QStringLiteral(":34: the line is cut off")))
      << console().toStdString();
  EXPECT_TRUE(console().contains(QStringLiteral("belt 0007800A1B2C, 30 notifications")));
  EXPECT_TRUE(reports.isEmpty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.playback().playing(); }, 8000));
}

TEST(PlaybackStatusTest, SaysTheFileTheSpeedAndTheTimes) {
  const struct {
    PlaybackPace pace;
    std::uint64_t position, duration;
    const char* text;
  } cases[] = {
      {{1.0, false, false}, 0, 90000000, "Playing belt.capture \u00D71  0:00 / 1:30"},
      {{10.0, false, false}, 12500000, 90000000, "Playing belt.capture \u00D710  0:12 / 1:30"},
      {{0.5, false, true},
       3599999999,
       3723000000,
       "Playing belt.capture \u00D70.5  59:59 / 1:02:03"},
      {{1.0, true, false}, 61000000, 61000000, "Playing belt.capture \u00D7flood  1:01 / 1:01"},
  };
  for (const auto& c : cases) {
    PlaybackProgress progress;
    progress.positionUs = c.position;
    progress.durationUs = c.duration;
    EXPECT_EQ(PlaybackPanel::statusText(QStringLiteral("/data/belt.capture"), c.pace, progress),
              QString::fromUtf8(c.text));
  }
}

TEST(CaptureOpenDialogTest, OpensAnExistingCapture) {
  QTemporaryDir dir;
  CaptureOpenDialog dialog(nullptr, dir.path());
  EXPECT_EQ(dialog.objectName(), QStringLiteral("OpenDialogCapture"));
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(dialog.nameFilters().first(), QStringLiteral("Captures (*.capture)"));
}

}  // namespace
}  // namespace kelvaro
