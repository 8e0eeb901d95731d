// The link guard: a lost link noticed by the dongle's event or by silence, attempts on the
// back-off schedule, and the user's Disconnect ending it all.
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
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

TEST_F(LinkGuardTest, TheDueTimeIsTheEndOfTheSilenceOrTheNextAttempt) {
  EXPECT_EQ(guard.msUntilDue(), std::nullopt) << "nothing watched";
  guard.connected(kBelt);
  EXPECT_EQ(guard.msUntilDue(), LinkGuard::kSilenceMs);
  clock.advance(1000);
  guard.notification();
  EXPECT_EQ(guard.msUntilDue(), LinkGuard::kSilenceMs) << "a notification moves it on";
  clock.advance(2999);
  EXPECT_EQ(guard.msUntilDue(), 1u);
  clock.advance(1);
  EXPECT_EQ(guard.msUntilDue(), 0u);
  guard.tick();
  ASSERT_EQ(guard.state(), LinkGuard::State::Lost);
  EXPECT_EQ(guard.msUntilDue(), LinkGuard::kBackOffMs[0]);
  clock.advance(1400);
  EXPECT_EQ(guard.msUntilDue(), 0u) << "overdue";

  std::optional<std::uint32_t> duringAttempt = 0;
  actions.during = [&] { duringAttempt = guard.msUntilDue(); };
  guard.tick();
  EXPECT_EQ(duringAttempt, std::nullopt);
  EXPECT_EQ(guard.msUntilDue(), LinkGuard::kBackOffMs[1]);
  guard.userDisconnected();
  EXPECT_EQ(guard.msUntilDue(), std::nullopt);
}

// Looked at only when due (never sooner than every 250 ms), the guard notices the silence and
// makes its attempts at the times it does when ticked a few times a second.
TEST_F(LinkGuardTest, LookingOnlyWhenDueKeepsTheTimes) {
  actions.succeedFrom = 4;
  guard.connected(kBelt);
  const std::uint32_t lastHeard = clock.tick();
  int looks = 0;
  while (guard.state() != LinkGuard::State::Connected || actions.attemptsAt.empty()) {
    ASSERT_LT(looks, 100);
    const std::optional<std::uint32_t> due = guard.msUntilDue();
    ASSERT_TRUE(due.has_value());
    clock.advance(std::max<std::uint32_t>(*due, 250));
    guard.tick();
    ++looks;
  }
  EXPECT_EQ(console.lines().filter(QStringLiteral("Link lost")),
            QStringList{QStringLiteral("Link lost: no notification for 3 s")});
  ASSERT_EQ(actions.attemptsAt.size(), 4u);
  const std::uint32_t lost = lastHeard + LinkGuard::kSilenceMs;
  EXPECT_EQ(actions.attemptsAt[0], lost + 1000);
  EXPECT_EQ(actions.attemptsAt[1], actions.attemptsAt[0] + actions.attemptMs + 2000);
  EXPECT_EQ(actions.attemptsAt[2], actions.attemptsAt[1] + actions.attemptMs + 4000);
  EXPECT_EQ(actions.attemptsAt[3], actions.attemptsAt[2] + actions.attemptMs + 8000);
  EXPECT_EQ(looks, 5) << "the silence and the four attempts";
}

TEST_F(LinkGuardTest, ReasonsInWords) {
  EXPECT_EQ(LinkGuard::reasonText(0x0208), QStringLiteral("supervision time-out (0x0208)"));
  EXPECT_EQ(LinkGuard::reasonText(0x0213), QStringLiteral("ended by the belt (0x0213)"));
  EXPECT_EQ(LinkGuard::reasonText(0x0216), QStringLiteral("ended by the dongle (0x0216)"));
  EXPECT_EQ(LinkGuard::reasonText(0x1AB), QStringLiteral("disconnected (0x01AB)"));
}

}  // namespace
}  // namespace kelvaro
