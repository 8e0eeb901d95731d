// What the window does for a notification and while nothing changes: a gauge's new value waits
// for the window's next pass instead of painting there and then, and the link guard's timer
// wakes the window only when the guard has something to notice.
#include <QApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "MainWindowTestSupport.h"
#include "link/LinkGuard.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using testing::find;
using testing::WindowHarness;

// The belt at rest, its battery at the given millivolts.
QByteArray withBattery(int millivolts) {
  testing::RawValues raw;
  raw.aux = static_cast<std::uint16_t>(millivolts);
  return testing::notificationBytes(raw);
}

class PaintCounter final : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

TEST(WindowWakeUpTest, ANewGaugeValueIsPaintedInTheWindowsNextPassNotDuringTheNotification) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  w.showPage(w.pages().liveGraph, true);
  w.pages().tabs->setCurrentWidget(w.pages().liveGraph);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  auto& gauge = find<QProgressBar>(w, "Gauge1");
  ASSERT_TRUE(gauge.isVisible());
  PaintCounter counter;
  gauge.installEventFilter(&counter);

  for (const auto& [millivolts, shown] : {std::pair{3962, 52}, std::pair{4100, 80}}) {
    SCOPED_TRACE(millivolts);
    QApplication::processEvents();
    counter.paints = 0;
    h.port.inject(withBattery(millivolts));
    EXPECT_EQ(gauge.value(), shown);
    EXPECT_EQ(counter.paints, 0) << "painted during the notification";
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 5000));
  }
}

TEST(WindowWakeUpTest, TheLinkGuardsTimerRunsToTheEndOfTheSilenceAndStopsWithNothingWatched) {
  WindowHarness h;
  h.startAnswered();
  MonitorCore& core = h.window->core();
  QTimer& timer = core.linkCheckTimer();
  EXPECT_FALSE(timer.isActive()) << "no belt connected";

  core.linkConnected(QStringLiteral("000780008D83"));
  ASSERT_TRUE(timer.isActive());
  EXPECT_EQ(timer.interval(), static_cast<int>(LinkGuard::kSilenceMs));

  // The belt streams for a second; the timer is not touched by its notifications, and looks
  // when the silence would have ended, to be set for its new end.
  for (int i = 0; i < 20; ++i) {
    h.ticks.advance(50);
    h.port.inject(withBattery(3962));
  }
  EXPECT_EQ(timer.interval(), static_cast<int>(LinkGuard::kSilenceMs));
  h.ticks.advance(2000);
  QMetaObject::invokeMethod(&timer, "timeout");
  EXPECT_EQ(core.linkGuard().state(), LinkGuard::State::Connected);
  ASSERT_TRUE(timer.isActive());
  EXPECT_EQ(timer.interval(), 1000);

  // Never sooner than a look every kLinkCheckMs.
  h.ticks.advance(900);
  QMetaObject::invokeMethod(&timer, "timeout");
  EXPECT_EQ(timer.interval(), MonitorCore::kLinkCheckMs);

  core.linkDisconnected();
  EXPECT_FALSE(timer.isActive());
}

}  // namespace
}  // namespace kelvaro
