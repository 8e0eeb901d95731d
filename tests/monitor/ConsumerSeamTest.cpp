// The core's outputs through its one seam: consumers registered in road order, and the link's
// health decided by the core itself, with no window anywhere.
#include <QByteArray>
#include <QCoreApplication>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "support/FakeSerialTransport.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using testing::FakeSerialTransport;

QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

// An attribute-value event of the belt at rest, force 1 raw as given.
QByteArray notification(int raw1) {
  testing::RawValues raw;
  raw.force1 = static_cast<std::uint16_t>(raw1);
  return testing::notificationBytes(raw);
}

// The dongle's "connection disconnected" event, connection 0, with its reason.
QByteArray disconnectedEvent(std::uint16_t reason) {
  QByteArray packet = hex("80 03 03 04 00 00 00");
  packet[5] = char(reason & 0xFF);
  packet[6] = char(reason >> 8);
  return packet;
}

// Writes every call it gets, and the display's, into one list.
class RecordingConsumer final : public MeasurementConsumer {
 public:
  RecordingConsumer(std::string name, std::vector<std::string>& calls)
      : name_(std::move(name)), calls_(calls) {}
  void samplePlotted(const PlottedSample& s) override {
    calls_.push_back(name_ + " plotted " + std::to_string(s.slot) +
                     " count=" + std::to_string(s.state.notificationCount));
  }
  void notificationDecoded(const DecodedNotification& n) override {
    calls_.push_back(name_ + " notification count=" + std::to_string(n.state.notificationCount) +
                     " slot=" + std::to_string(n.plottedSlot));
    if (onNotification) onNotification();
  }
  void linkChanged(const LinkChange& c) override {
    static const char* const kNames[] = {"connected", "lost", "back", "disconnected"};
    calls_.push_back(name_ + " link " + kNames[static_cast<int>(c.event)] + " " +
                     c.deviceId.toStdString() +
                     (c.reason.isEmpty() ? "" : " (" + c.reason.toStdString() + ")"));
  }
  std::function<void()> onNotification;

 private:
  std::string name_;
  std::vector<std::string>& calls_;
};

class RecordingDisplay final : public MonitorDisplay {
 public:
  explicit RecordingDisplay(std::vector<std::string>& calls) : calls_(calls) {}
  void showReadings(const NotificationOutcome&, const MeasurementState& s) override {
    calls_.push_back("display readings count=" + std::to_string(s.notificationCount));
  }
  void samplePlotted(int slot) override {
    calls_.push_back("display plotted " + std::to_string(slot));
  }

 private:
  std::vector<std::string>& calls_;
};

class ConsumerSeamTest : public ::testing::Test {
 protected:
  ConsumerSeamTest() : display(calls), core(ticks, pump, port, scanView, display) {
    core.graph().createPoints();
  }
  void receive(const QByteArray& bytes) {
    core.feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
              static_cast<std::size_t>(bytes.size()));
  }
  // Moves the clock on in 50 ms steps, a notification at each unless silent, and lets the link
  // be checked as the core's timer does.
  void run(std::uint32_t ms, bool silent = false) {
    for (std::uint32_t t = 0; t < ms; t += 50) {
      ticks.advance(50);
      if (!silent) receive(notification(1250));
      if (ticks.tick() % MonitorCore::kLinkCheckMs == 0) core.checkLink();
    }
  }
  std::vector<std::string> linkCalls() const {
    std::vector<std::string> link;
    for (const auto& c : calls) {
      if (c.find(" link ") != std::string::npos) link.push_back(c);
    }
    return link;
  }

  ManualTickSource ticks{1000};
  NoEventLoop pump;
  FakeSerialTransport port;
  NullScanView scanView;
  std::vector<std::string> calls;
  RecordingDisplay display;
  MonitorCore core;
};

TEST_F(ConsumerSeamTest, ConsumersSeeEveryNotificationAndEveryPlottedSampleInRoadOrder) {
  RecordingConsumer first("first", calls);
  RecordingConsumer second("second", calls);
  core.addConsumer(first);
  core.addConsumer(second);
  core.addConsumer(first);  // once is enough

  core.measurement().notificationCount = 20;
  receive(notification(1250));
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "display readings count=21", "display plotted 0", "first plotted 0 count=21",
                       "second plotted 0 count=21", "first notification count=21 slot=0",
                       "second notification count=21 slot=0"}));

  calls.clear();
  core.switches().freeze = true;
  receive(notification(1250));
  EXPECT_EQ(calls, (std::vector<std::string>{"display readings count=22",
                                             "first notification count=22 slot=-1",
                                             "second notification count=22 slot=-1"}))
      << "a frozen graph plots nothing, yet every notification goes out";

  calls.clear();
  core.removeConsumer(first);
  receive(notification(1250));
  EXPECT_EQ(calls, (std::vector<std::string>{"display readings count=23",
                                             "second notification count=23 slot=-1"}));
}

TEST_F(ConsumerSeamTest, AConsumerRemovedWhileTheRoadRunsIsSkippedAndSwept) {
  RecordingConsumer first("first", calls);
  RecordingConsumer second("second", calls);
  core.addConsumer(first);
  core.addConsumer(second);
  first.onNotification = [&] { core.removeConsumer(second); };
  core.switches().freeze = true;

  receive(notification(1250));
  receive(notification(1250));
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "display readings count=1", "first notification count=1 slot=-1",
                       "display readings count=2", "first notification count=2 slot=-1"}));
}

TEST_F(ConsumerSeamTest, ACoreWithoutAWindowNoticesASilenceAndMendsTheLink) {
  RecordingConsumer watcher("watcher", calls);
  core.addConsumer(watcher);
  std::vector<std::string> attempts;
  bool answers = false;
  core.setReconnect([&](const QString& id) {
    attempts.push_back(id.toStdString());
    return answers;
  });

  core.linkConnected(QStringLiteral("000780008D83"));
  run(5000);
  EXPECT_EQ(core.linkGuard().state(), LinkGuard::State::Connected) << "notifications keep it";

  run(LinkGuard::kSilenceMs, true);
  EXPECT_EQ(core.linkGuard().state(), LinkGuard::State::Lost);
  EXPECT_EQ(core.console().lines().back(), QStringLiteral("Link lost: no notification for 3 s"));
  run(1000, true);
  EXPECT_EQ(attempts, (std::vector<std::string>{"000780008D83"})) << "after 1 s";

  answers = true;
  run(2000, true);
  EXPECT_EQ(attempts.size(), 2u) << "then after 2 s";
  EXPECT_EQ(core.linkGuard().state(), LinkGuard::State::Connected);
  EXPECT_EQ(linkCalls(),
            (std::vector<std::string>{"watcher link connected 000780008D83",
                                      "watcher link lost 000780008D83 (no notification for 3 s)",
                                      "watcher link back 000780008D83"}));
}

TEST_F(ConsumerSeamTest, ACoreWithoutAWindowTakesTheDonglesDisconnectedEventAsALostLink) {
  RecordingConsumer watcher("watcher", calls);
  core.addConsumer(watcher);
  core.linkConnected(QStringLiteral("000780008D83"));
  run(1000);

  receive(disconnectedEvent(0x0208));
  EXPECT_EQ(core.linkGuard().state(), LinkGuard::State::Lost);
  EXPECT_EQ(linkCalls().back(), "watcher link lost 000780008D83 (supervision time-out (0x0208))");

  // Without a way to reconnect, the link stays lost until the user disconnects.
  run(20000, true);
  EXPECT_EQ(core.linkGuard().state(), LinkGuard::State::Lost);
  core.linkDisconnected();
  EXPECT_EQ(core.linkGuard().state(), LinkGuard::State::Idle);
  EXPECT_EQ(linkCalls().back(), "watcher link disconnected 000780008D83");
}

TEST_F(ConsumerSeamTest, NothingIsWatchedBeforeAConnectionOrAfterTheUsersDisconnect) {
  RecordingConsumer watcher("watcher", calls);
  core.addConsumer(watcher);
  receive(disconnectedEvent(0x0208));
  run(10000, true);
  EXPECT_TRUE(linkCalls().empty());

  core.linkConnected(QStringLiteral("000780008D83"));
  core.linkDisconnected();
  receive(disconnectedEvent(0x0213));
  run(10000, true);
  EXPECT_EQ(linkCalls(), (std::vector<std::string>{"watcher link connected 000780008D83",
                                                   "watcher link disconnected 000780008D83"}));
}

TEST_F(ConsumerSeamTest, ANewConnectionAndASessionStartZeroTheForcesAgain) {
  for (int i = 0; i < 30; ++i) receive(notification(1250));
  ASSERT_DOUBLE_EQ(core.measurement().force1Grams, 0.0) << "zeroed at the tenth";
  receive(notification(1450));
  ASSERT_DOUBLE_EQ(core.measurement().force1Grams, 100.0);

  core.restartZeroing();
  receive(notification(1450));
  EXPECT_DOUBLE_EQ(core.measurement().force1Grams, 0.0) << "the next one zeroes";

  core.linkConnected(QStringLiteral("000780008D83"));
  core.linkDisconnected();
  EXPECT_EQ(core.measurement().notificationCount, 0u);
  for (int i = 0; i < 9; ++i) receive(notification(1650));
  EXPECT_DOUBLE_EQ(core.measurement().force1Grams, 100.0) << "the old zero until the tenth";
  receive(notification(1650));
  EXPECT_DOUBLE_EQ(core.measurement().force1Grams, 0.0);
}

}  // namespace
}  // namespace kelvaro
