#include "link/Stopwatch.h"

#include <sys/resource.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeSerialTransport.h"

namespace kelvaro {
namespace {

constexpr std::uint32_t kWrapMinus6 = 0xFFFFFFFAu;

TEST(StopwatchDiff, WrapsModulo2To32) {
  EXPECT_EQ(Stopwatch::diff(kWrapMinus6, 5), 11u);
  EXPECT_EQ(Stopwatch::diff(100, 250), 150u);
  EXPECT_EQ(Stopwatch::diff(5, 4), 0xFFFFFFFFu);
}

struct ExpiredCase {
  std::uint32_t start;
  std::uint32_t now;
  std::uint16_t limit;
  bool expired;
};

TEST(StopwatchExpired, ComparesSignedElapsedTimeWithLimit) {
  const ExpiredCase cases[] = {
      {1000, 1009, 10, false},
      {1000, 1010, 10, true},
      {1000, 1011, 10, true},
      {kWrapMinus6, 5, 10, true},   // 11 ms across the wrap
      {kWrapMinus6, 3, 10, false},  // 9 ms across the wrap
      {1000, 1000, 0, true},
      {0, 65534, 65535, false},
      {0, 65535, 65535, true},
      // A difference of 2^31 or more reads as negative: not expired.
      {0, 0x80000000u, 10, false},
  };
  for (const ExpiredCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.start << " -> " << c.now << " limit " << c.limit);
    ManualTickSource clock(c.start);
    Stopwatch stopwatch(clock);
    stopwatch.start();
    clock.set(c.now);
    EXPECT_EQ(stopwatch.tick(), c.now);
    EXPECT_EQ(stopwatch.expired(c.limit), c.expired);
  }
}

// A stand-in for the event loop on a manual clock: pending events are Qt's (so queued calls
// really run), and each sleep moves the clock by one step, never past the deadline it was given.
class FakePump : public EventPump {
 public:
  FakePump(ManualTickSource& clock, std::uint32_t step) : clock_(clock), step_(step) {}

  void processPending() override {
    ++pendingPasses;
    QCoreApplication::processEvents();
  }
  void waitForEvents(std::uint32_t maxMs) override {
    requests.push_back(maxMs);
    clock_.advance(std::min(step_, maxMs));
    if (onWake) onWake();
  }

  int pendingPasses = 0;
  std::vector<std::uint32_t> requests;  // maxMs of every sleep
  std::function<void()> onWake;         // an event handled while asleep

 private:
  ManualTickSource& clock_;
  std::uint32_t step_;
};

TEST(WaitMs, ZeroHandlesPendingEventsOnceAndReturns) {
  ManualTickSource clock(500);
  Stopwatch stopwatch(clock);
  FakePump pump(clock, 1);
  Waiter waiter(stopwatch, pump);
  int ran = 0;
  QTimer::singleShot(0, [&] { ++ran; });
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { ++ran; }, Qt::QueuedConnection);

  waiter.waitMs(0);

  EXPECT_EQ(ran, 2);
  EXPECT_EQ(pump.pendingPasses, 1);
  EXPECT_TRUE(pump.requests.empty());
}

TEST(WaitMs, ZeroWithQtPumpRunsQueuedCall) {
  ManualTickSource clock;
  Stopwatch stopwatch(clock);
  QtEventPump pump;
  Waiter waiter(stopwatch, pump);
  bool ran = false;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { ran = true; }, Qt::QueuedConnection);
  waiter.waitMs(0);
  EXPECT_TRUE(ran);
}

TEST(WaitMs, NeverReturnsEarly) {
  // Steps that divide 10, that do not, and that overshoot it.
  for (const std::uint32_t step : {1u, 3u, 4u, 7u, 10u, 25u}) {
    SCOPED_TRACE(step);
    ManualTickSource clock(kWrapMinus6);
    Stopwatch stopwatch(clock);
    FakePump pump(clock, step);
    Waiter waiter(stopwatch, pump);

    waiter.waitMs(10);

    EXPECT_EQ(Stopwatch::diff(kWrapMinus6, clock.tick()), 10u);
    ASSERT_FALSE(pump.requests.empty());
    // The first sleep may last the whole wait, and no sleep is asked to run past the deadline.
    EXPECT_EQ(pump.requests.front(), 10u);
    EXPECT_EQ(pump.pendingPasses, static_cast<int>(pump.requests.size()) + 1);
  }
}

TEST(WaitMs, PacketArrivingDuringWaitIsHandledBeforeItReturns) {
  ManualTickSource clock(1000);
  Stopwatch stopwatch(clock);
  FakePump pump(clock, 100);
  Waiter waiter(stopwatch, pump);
  testing::FakeSerialTransport transport;
  ASSERT_TRUE(transport.open(QStringLiteral("SIM"), SerialSettings{}));

  std::uint32_t handledAt = 0;
  QObject::connect(&transport, &SerialTransport::readyRead, [&] {
    char buf[16];
    if (transport.read(buf, sizeof buf) > 0) handledAt = clock.tick();
  });
  // The bytes arrive 600 ms into the wait, as a posted event like a real port's notification.
  pump.onWake = [&] {
    if (clock.tick() == 1600) {
      QMetaObject::invokeMethod(
          &transport, [&] { transport.injectHex("80 00 00 01"); }, Qt::QueuedConnection);
    }
  };

  waiter.waitMs(1200);

  EXPECT_EQ(handledAt, 1600u);
  EXPECT_EQ(clock.tick(), 2200u);
}

struct NestingCase {
  std::uint16_t outer;     // D
  std::uint32_t innerAt;   // t, from the start of the outer wait
  std::uint16_t inner;     // d
  std::uint32_t outerEnd;  // t + max(D, d)
};

TEST(WaitMs, NestedWaitRestartsTheSharedStopwatch) {
  const NestingCase cases[] = {
      {3000, 2000, 5000, 7000},
      {3000, 2000, 500, 5000},
      {3000, 100, 10, 3100},
      {1200, 1100, 1200, 2300},
  };
  for (const NestingCase& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.outer << " interrupted at " << c.innerAt << " by " << c.inner);
    const std::uint32_t begin = 40000;
    ManualTickSource clock(begin);
    Stopwatch stopwatch(clock);
    FakePump pump(clock, 100);
    Waiter waiter(stopwatch, pump);
    bool nested = false;
    std::uint32_t innerEnd = 0;
    // A handler run by the outer wait starts a wait of its own, as a click might.
    pump.onWake = [&] {
      if (!nested && clock.tick() - begin == c.innerAt) {
        nested = true;
        waiter.waitMs(c.inner);
        innerEnd = clock.tick() - begin;
      }
    };

    waiter.waitMs(c.outer);

    ASSERT_TRUE(nested);
    EXPECT_EQ(innerEnd, c.innerAt + c.inner);
    EXPECT_EQ(clock.tick() - begin, c.outerEnd);
  }
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

TEST(WaitMs, RealPumpSleepsUntilTheDeadline) {
  using std::chrono::steady_clock;
  SteadyTickSource ticks;
  Stopwatch stopwatch(ticks);
  QtEventPump pump;
  Waiter waiter(stopwatch, pump);

  const auto wall = [](steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(steady_clock::now() - from).count();
  };
  // The tick count is whole milliseconds, so a wait may be up to 1 ms shorter on a finer clock.
  auto begin = steady_clock::now();
  waiter.waitMs(20);
  EXPECT_GE(wall(begin), 19.0);

  bool timerFired = false;
  QTimer::singleShot(50, [&] { timerFired = true; });
  const double cpuBefore = cpuSeconds();
  begin = steady_clock::now();
  waiter.waitMs(200);
  const double wallMs = wall(begin);
  const double cpuMs = (cpuSeconds() - cpuBefore) * 1000.0;
  RecordProperty("wall_ms", static_cast<int>(wallMs));
  RecordProperty("cpu_ms", static_cast<int>(cpuMs));
  EXPECT_TRUE(timerFired);
  EXPECT_GE(wallMs, 199.0);
  // A polling loop would burn the whole 200 ms; sleeping in the event loop costs almost nothing.
  EXPECT_LT(cpuMs, wallMs / 4) << "CPU " << cpuMs << " ms over " << wallMs << " ms";
}

}  // namespace
}  // namespace kelvaro
