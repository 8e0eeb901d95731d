// The link guard: a lost link noticed by the dongle's event or by silence, attempts on the
// back-off schedule, and the user's Disconnect ending it all.
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "base/TickSource.h"
#include "link/LinkGuard.h"

namespace kelvaro {
namespace {

const QString kBelt = QStringLiteral("000780008D83");

class RecordingActions final : public LinkGuardActions {
 public:
  explicit RecordingActions(ManualTickSource& clock) : clock_(clock) {}
  void linkLost(const QString& deviceId, const QString& reason) override {
    calls << QStringLiteral("lost %1: %2").arg(deviceId, reason);
  }
  void linkBack(const QString& deviceId) override { calls << QStringLiteral("back ") + deviceId; }
  bool reconnect(const QString& deviceId) override {
    attemptsAt.push_back(clock_.tick());
    calls << QStringLiteral("attempt ") + deviceId;
    if (during) during();
    // An attempt takes its time: the phases' waits.
    clock_.advance(attemptMs);
    return succeedFrom > 0 && static_cast<int>(attemptsAt.size()) >= succeedFrom;
  }
  QStringList calls;
  std::vector<std::uint32_t> attemptsAt;
  int succeedFrom = 0;  // 0: never
  std::uint32_t attemptMs = 3000;
  std::function<void()> during;

 private:
  ManualTickSource& clock_;
};

class LinkGuardTest : public ::testing::Test {
 protected:
  // Ticks every 250 ms, as the window's timer does, for ms milliseconds.
  void run(std::uint32_t ms, bool notifications = false) {
    for (std::uint32_t t = 0; t < ms; t += 250) {
      clock.advance(250);
      if (notifications) guard.notification();
      guard.tick();
    }
  }

  ManualTickSource clock{0xFFFFF000u};  // the tick wraps during the tests
  ConsoleLog console;
  RecordingActions actions{clock};
  LinkGuard guard{clock, console, actions};
};

TEST_F(LinkGuardTest, NothingIsWatchedBeforeAConnection) {
  guard.disconnectedEvent(0x0208);
  run(10000);
  EXPECT_EQ(guard.state(), LinkGuard::State::Idle);
  EXPECT_TRUE(actions.calls.isEmpty());
}

TEST_F(LinkGuardTest, ADisconnectedEventLosesTheLinkAtOnce) {
  guard.connected(kBelt);
  run(1000, true);
  guard.disconnectedEvent(0x0208);
  EXPECT_EQ(guard.state(), LinkGuard::State::Lost);
  EXPECT_EQ(console.last(), QStringLiteral("Link lost: supervision time-out (0x0208)"));
  EXPECT_EQ(actions.calls,
            QStringList{QStringLiteral("lost 000780008D83: supervision time-out (0x0208)")});
}

TEST_F(LinkGuardTest, ThreeSecondsWithoutANotificationLoseTheLink) {
  guard.connected(kBelt);
  run(5000, true);
  EXPECT_EQ(guard.state(), LinkGuard::State::Connected);
  const std::uint32_t lastHeard = clock.tick();
  run(2750);
  EXPECT_EQ(guard.state(), LinkGuard::State::Connected);
  run(250);
  EXPECT_EQ(guard.state(), LinkGuard::State::Lost);
  EXPECT_EQ(clock.tick() - lastHeard, LinkGuard::kSilenceMs);
  EXPECT_EQ(console.last(), QStringLiteral("Link lost: no notification for 3 s"));
}

TEST_F(LinkGuardTest, AttemptsFollowTheBackOffUntilOneSucceeds) {
  actions.succeedFrom = 7;
  guard.connected(kBelt);
  guard.disconnectedEvent(0x0208);
  const std::uint32_t lost = clock.tick();
  for (int i = 0; i < 480 && guard.state() != LinkGuard::State::Connected; ++i) run(250);
  ASSERT_EQ(actions.attemptsAt.size(), 7u);
  // Waits before each attempt, from the loss and then from the end of the failed attempt.
  const std::uint32_t waits[] = {1000, 2000, 4000, 8000, 10000, 10000, 10000};
  std::uint32_t from = lost;
  for (std::size_t i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    const std::uint32_t waited = actions.attemptsAt[i] - from;
    EXPECT_GE(waited, waits[i]);
    EXPECT_LT(waited, waits[i] + 250) << "on the next tick";
    from = actions.attemptsAt[i] + actions.attemptMs;
  }
  EXPECT_EQ(guard.state(), LinkGuard::State::Connected);
  EXPECT_EQ(actions.calls.last(), QStringLiteral("back 000780008D83"));
  EXPECT_EQ(console.last(), QStringLiteral("Link back: 000780008D83"));
}

TEST_F(LinkGuardTest, DisconnectStopsTheAttemptsAtOnce) {
  for (const bool duringAnAttempt : {false, true}) {
    SCOPED_TRACE(duringAnAttempt ? "during an attempt" : "during a wait");
    actions.attemptsAt.clear();
    actions.during =
        duringAnAttempt ? std::function<void()>([this] { guard.userDisconnected(); }) : nullptr;
    guard.connected(kBelt);
    guard.disconnectedEvent(0x0208);
    run(1250);  // the first attempt
    if (!duringAnAttempt) guard.userDisconnected();
    run(60000);
    EXPECT_EQ(guard.state(), LinkGuard::State::Idle);
    EXPECT_EQ(actions.attemptsAt.size(), 1u);
    EXPECT_EQ(guard.nextAttemptInMs(), 0u);
  }
}

TEST_F(LinkGuardTest, ReasonsInWords) {
  EXPECT_EQ(LinkGuard::reasonText(0x0208), QStringLiteral("supervision time-out (0x0208)"));
  EXPECT_EQ(LinkGuard::reasonText(0x0213), QStringLiteral("ended by the belt (0x0213)"));
  EXPECT_EQ(LinkGuard::reasonText(0x0216), QStringLiteral("ended by the dongle (0x0216)"));
  EXPECT_EQ(LinkGuard::reasonText(0x1AB), QStringLiteral("disconnected (0x01AB)"));
}

}  // namespace
}  // namespace kelvaro
