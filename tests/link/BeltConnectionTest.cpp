#include "link/BeltConnection.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/TickSource.h"
#include "link/CommandSender.h"
#include "link/LinkState.h"
#include "support/FakeSerialTransport.h"

namespace kelvaro {
namespace {

using State = BeltConnection::State;
using Outcome = BeltConnection::Outcome;

const QString kId = QStringLiteral("0007800A1B2C");
const char* const kConnect = "00 0F 06 03 2C 1B 0A 80 07 00 00 3C 00 4C 00 64 00 00 00";
const char* const kEndProcedure = "00 00 06 04";
const char* const kGetConnections = "00 00 00 06";
QByteArray set1(int h) {
  return QByteArray("00 05 04 05 0") + QByteArray::number(h) + " 1C 00 01 80";
}
QByteArray set2(int h) {
  return QByteArray("00 06 04 05 0") + QByteArray::number(h) + " 1A 00 02 01 00";
}
QByteArray disconnect(int h) { return QByteArray("00 01 03 00 0") + QByteArray::number(h); }

class BeltConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(port.open(QStringLiteral("/dev/ttyACM0"), {})); }

  QList<QByteArray> writes() const {
    QList<QByteArray> all;
    for (const QByteArray& w : port.writes) all.append(w.toHex(' ').toUpper());
    return all;
  }
  // Every report since the last call.
  std::vector<Outcome> reports() {
    std::vector<Outcome> all;
    while (const std::optional<Outcome> r = belt.takeReport()) all.push_back(*r);
    return all;
  }
  // Connect direct answered with handle h, its link made, Set1 confirmed: the machine is Enabling.
  static void upToEnabling(BeltConnection& machine, std::uint8_t h = 1) {
    machine.connect(kId);
    machine.connectDirectResponse(0, h);
    machine.connectionStatus(0x05);
    machine.procedureCompleted(0, 28);
    ASSERT_EQ(machine.state(), State::Enabling);
  }

  testing::FakeSerialTransport port;
  ConsoleLog console;
  LinkState link;
  CommandSender commands{port, console, link};
  ManualTickSource clock{0xFFFFF000u};  // the tick wraps during the tests
  BeltConnection belt{commands, clock, console};
};

TEST_F(BeltConnectionTest, PhasesOnTheGivenHandleEndStreaming) {
  belt.connect(kId);
  EXPECT_EQ(belt.state(), State::Connecting);
  EXPECT_TRUE(belt.awaitsConnectResponse());
  EXPECT_EQ(belt.handle(), std::nullopt);
  belt.connectDirectResponse(0, 2);
  EXPECT_EQ(belt.state(), State::Linking);
  EXPECT_EQ(belt.handle(), 2);
  belt.connectionStatus(0x05);
  EXPECT_EQ(belt.state(), State::SettingUp);
  belt.procedureCompleted(0, 28);
  EXPECT_EQ(belt.state(), State::Enabling);
  EXPECT_TRUE(reports().empty());
  belt.procedureCompleted(0, 26);

  EXPECT_EQ(belt.state(), State::Streaming);
  EXPECT_EQ(reports(), std::vector<Outcome>{Outcome::Streaming});
  EXPECT_EQ(writes(), (QList<QByteArray>{kConnect, set1(2), set2(2)}));
  EXPECT_EQ(console.lines(),
            (QStringList{"Write4", "**** Connect send OK H=02", "**** Connect faze2 OK H=02",
                         "Write2 H=02", "**** Set1 OK H=02", "Write3 H=02", "**** Set2 OK H=02"}));
  EXPECT_EQ(belt.msUntilDue(), std::nullopt);
}

TEST_F(BeltConnectionTest, EachPhaseHasItsOwnThreeSeconds) {
  belt.connect(kId);
  const auto late = [this] {
    EXPECT_EQ(belt.msUntilDue(), 3000u);
    clock.advance(2999);
    belt.tick();
    EXPECT_EQ(belt.msUntilDue(), 1u);
  };
  late();
  belt.connectDirectResponse(0, 1);
  late();
  belt.connectionStatus(0x05);
  late();
  belt.procedureCompleted(0, 28);
  late();
  belt.procedureCompleted(0, 26);
  EXPECT_EQ(belt.state(), State::Streaming);
  EXPECT_EQ(reports(), std::vector<Outcome>{Outcome::Streaming});
}

// A phase that fails: the trace line, the message, and what is ended in the dongle.
struct FailCase {
  const char* name;
  std::function<void(BeltConnection&, ManualTickSource&)> script;
  QStringList lines;  // after the phases' own lines
  QList<QByteArray> leftoverCommands;
  const char* failure;
  State after;  // Disconnecting while the handle's end is awaited
};

class BeltConnectionFailTest : public BeltConnectionTest,
                               public ::testing::WithParamInterface<FailCase> {};

TEST_P(BeltConnectionFailTest, TracesReportsOnceAndEndsTheLeftovers) {
  const FailCase& c = GetParam();
  belt.connect(kId);
  c.script(belt, clock);
  // The commands after the phases' own ones: connect direct, then Set1 and Set2 as far as they got.
  QList<QByteArray> ends = writes();
  QStringList lines = console.lines();
  while (!ends.isEmpty() && (ends.first() == kConnect || ends.first().startsWith("00 05 04 05") ||
                             ends.first().startsWith("00 06 04 05"))) {
    ends.removeFirst();
  }
  EXPECT_EQ(ends, c.leftoverCommands);
  ASSERT_GE(lines.size(), c.lines.size());
  EXPECT_EQ(lines.mid(lines.size() - c.lines.size()), c.lines);
  EXPECT_EQ(belt.failure(), QString::fromUtf8(c.failure));
  EXPECT_EQ(belt.state(), c.after);
  EXPECT_EQ(reports(), std::vector<Outcome>{Outcome::Failed});

  // The handle is held until its disconnected event, or its time-out; no second report.
  if (c.after == State::Disconnecting) {
    ASSERT_TRUE(belt.handle().has_value());
    const QString line = QStringLiteral("Disconnect Timeout H=0%1").arg(*belt.handle());
    clock.advance(2999);
    belt.tick();
    EXPECT_EQ(belt.state(), State::Disconnecting);
    clock.advance(1);
    belt.tick();
    EXPECT_EQ(console.last(), line);
  }
  EXPECT_EQ(belt.state(), State::Failed);
  EXPECT_EQ(belt.handle(), std::nullopt);
  EXPECT_EQ(belt.msUntilDue(), std::nullopt);
  EXPECT_TRUE(reports().empty());
}

void wait(ManualTickSource& clock, BeltConnection& belt) {
  clock.advance(3000);
  belt.tick();
}

INSTANTIATE_TEST_SUITE_P(
    Phases, BeltConnectionFailTest,
    ::testing::Values(
        FailCase{"ConnectTimeout",
                 [](BeltConnection& b, ManualTickSource& c) { wait(c, b); },
                 QStringList{"Connect Faze1 Timeout ID=0007800A1B2C", "Write7"},
                 {kEndProcedure},
                 "Belt 0007800A1B2C was not connected: no answer within 3 s while connecting",
                 State::Failed},
        FailCase{"ConnectionLimit",
                 [](BeltConnection& b, ManualTickSource&) { b.connectDirectResponse(0x0209, 0); },
                 QStringList{"Connect Faze1 ERR ID=0007800A1B2C", "Write7"},
                 {kEndProcedure},
                 "The dongle refused another connection (connection limit exceeded)",
                 State::Failed},
        FailCase{"WrongState",
                 [](BeltConnection& b, ManualTickSource&) { b.connectDirectResponse(0x0181, 0); },
                 QStringList{"Connect Faze1 ERR ID=0007800A1B2C", "Write7"},
                 {kEndProcedure},
                 "Belt 0007800A1B2C was not connected: error while connecting: result 0x0181",
                 State::Failed},
        FailCase{"LinkTimeout",
                 [](BeltConnection& b, ManualTickSource& c) {
                   b.connectDirectResponse(0, 1);
                   wait(c, b);
                 },
                 QStringList{"Connect Timeout H=01", "Write7", "Write6 H=01"},
                 {kEndProcedure, disconnect(1)},
                 "Belt 0007800A1B2C was not connected: no answer within 3 s while waiting for the "
                 "link",
                 State::Disconnecting},
        FailCase{"LinkFlags",
                 [](BeltConnection& b, ManualTickSource&) {
                   b.connectDirectResponse(0, 1);
                   b.connectionStatus(0x01);
                 },
                 QStringList{"Connect ERR H=01", "Write7", "Write6 H=01"},
                 {kEndProcedure, disconnect(1)},
                 "Belt 0007800A1B2C was not connected: error while waiting for the link: flags "
                 "0x01",
                 State::Disconnecting},
        FailCase{"FirstBeltsHandle",
                 [](BeltConnection& b, ManualTickSource&) { b.connectDirectResponse(0, 0); },
                 QStringList{"**** Connect send OK H=00", "Write7", "Write6 H=00"},
                 {kEndProcedure, disconnect(0)},
                 "Belt 0007800A1B2C was not connected: the dongle gave it connection 0, the first "
                 "belt's",
                 State::Disconnecting},
        FailCase{"Set1Timeout",
                 [](BeltConnection& b, ManualTickSource& c) {
                   b.connectDirectResponse(0, 1);
                   b.connectionStatus(0x05);
                   wait(c, b);
                 },
                 QStringList{"Set1 Timeout H=01", "Write6 H=01"},
                 {disconnect(1)},
                 "Belt 0007800A1B2C was not connected: no answer within 3 s while setting it up "
                 "(Set1)",
                 State::Disconnecting},
        FailCase{"Set1OtherAttribute",
                 [](BeltConnection& b, ManualTickSource&) {
                   b.connectDirectResponse(0, 1);
                   b.connectionStatus(0x05);
                   b.procedureCompleted(0, 26);
                 },
                 QStringList{"Set1 ERR H=01", "Write6 H=01"},
                 {disconnect(1)},
                 "Belt 0007800A1B2C was not connected: error while setting it up (Set1): "
                 "attribute 26 confirmed instead",
                 State::Disconnecting},
        FailCase{"Set1Error",
                 [](BeltConnection& b, ManualTickSource&) {
                   b.connectDirectResponse(0, 1);
                   b.connectionStatus(0x05);
                   b.procedureCompleted(0x0401, 28);
                 },
                 QStringList{"Set1 ERR H=01", "Write6 H=01"},
                 {disconnect(1)},
                 "Belt 0007800A1B2C was not connected: error while setting it up (Set1): result "
                 "0x0401",
                 State::Disconnecting},
        FailCase{"Set2Timeout",
                 [](BeltConnection& b, ManualTickSource& c) {
                   b.connectDirectResponse(0, 1);
                   b.connectionStatus(0x05);
                   b.procedureCompleted(0, 28);
                   wait(c, b);
                 },
                 QStringList{"Set2 Timeout H=01", "Write6 H=01"},
                 {disconnect(1)},
                 "Belt 0007800A1B2C was not connected: no answer within 3 s while switching its "
                 "notifications on (Set2)",
                 State::Disconnecting},
        FailCase{"LinkLostDuringSet2",
                 [](BeltConnection& b, ManualTickSource&) {
                   b.connectDirectResponse(0, 1);
                   b.connectionStatus(0x05);
                   b.procedureCompleted(0, 28);
                   b.disconnected(0x0208);
                 },
                 QStringList{"Write3 H=01", "Set2 ERR H=01"},
                 {},
                 "Belt 0007800A1B2C was not connected: the link was lost while switching its "
                 "notifications on (Set2): supervision time-out (0x0208)",
                 State::Failed}),
    [](const ::testing::TestParamInfo<FailCase>& info) { return info.param.name; });

TEST_F(BeltConnectionTest, AFailedAttemptsHandleIsReleasedByItsDisconnectedEvent) {
  belt.connect(kId);
  belt.connectDirectResponse(0, 1);
  belt.connectionStatus(0x05);
  clock.advance(3000);
  belt.tick();
  ASSERT_EQ(belt.state(), State::Disconnecting);
  EXPECT_EQ(reports(), std::vector<Outcome>{Outcome::Failed});
  belt.disconnected(0x0216);
  EXPECT_EQ(belt.state(), State::Failed);
  EXPECT_EQ(belt.handle(), std::nullopt);
  EXPECT_TRUE(reports().empty());
}

TEST_F(BeltConnectionTest, AStreamingBeltsLostLinkIsReportedWithItsReason) {
  upToEnabling(belt, 3);
  belt.procedureCompleted(0, 26);
  reports();
  // Events of other phases change nothing now.
  belt.connectionStatus(0x01);
  belt.procedureCompleted(0, 28);
  clock.advance(10000);
  belt.tick();
  EXPECT_EQ(belt.state(), State::Streaming);
  EXPECT_TRUE(reports().empty());

  belt.disconnected(0x0208);
  EXPECT_EQ(belt.state(), State::Idle);
  EXPECT_EQ(reports(), std::vector<Outcome>{Outcome::Lost});
  EXPECT_EQ(belt.lostReason(), 0x0208);
  EXPECT_EQ(belt.lastHandle(), 3);
  EXPECT_EQ(belt.handle(), std::nullopt);
}

TEST_F(BeltConnectionTest, DisconnectEndsWhatEachStateHolds) {
  const struct {
    const char* name;
    std::function<void(BeltConnection&)> reach;
    QList<QByteArray> commands;
    State after;
  } cases[] = {
      {"asking", [](BeltConnection& b) { b.askCapacity(kId); }, {}, State::Idle},
      {"connecting", [](BeltConnection& b) { b.connect(kId); }, {kEndProcedure}, State::Idle},
      {"linking",
       [](BeltConnection& b) {
         b.connect(kId);
         b.connectDirectResponse(0, 1);
       },
       {kEndProcedure, disconnect(1)},
       State::Disconnecting},
      {"enabling",
       [this](BeltConnection& b) { upToEnabling(b); },
       {disconnect(1)},
       State::Disconnecting},
      {"streaming",
       [this](BeltConnection& b) {
         upToEnabling(b);
         b.procedureCompleted(0, 26);
       },
       {disconnect(1)},
       State::Disconnecting},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BeltConnection machine{commands, clock, console};
    c.reach(machine);
    machine.takeReport();
    port.writes.clear();
    machine.disconnect();
    EXPECT_EQ(writes(), c.commands);
    EXPECT_EQ(machine.state(), c.after);
    EXPECT_FALSE(machine.adding());
    if (c.after == State::Disconnecting) {
      machine.disconnected(0x0216);
      EXPECT_EQ(machine.state(), State::Idle);
      EXPECT_EQ(machine.takeReport(), Outcome::Disconnected);
    } else {
      EXPECT_EQ(machine.takeReport(), std::nullopt) << "a disconnect asked for is no failure";
    }
  }
}

TEST_F(BeltConnectionTest, AskingTheCapacityTimesOutOrIsRefusedOrConnects) {
  belt.askCapacity(kId);
  EXPECT_EQ(writes(), QList<QByteArray>{kGetConnections});
  EXPECT_EQ(belt.state(), State::AskingCapacity);
  EXPECT_TRUE(belt.adding());
  EXPECT_FALSE(belt.awaitsConnectResponse());
  clock.advance(3000);
  belt.tick();
  EXPECT_EQ(belt.state(), State::Failed);
  EXPECT_EQ(console.last(), QStringLiteral("Get connections Timeout ID=0007800A1B2C"));
  EXPECT_EQ(belt.failure(), QStringLiteral("Belt 0007800A1B2C was not connected: no answer within "
                                           "3 s while asking the dongle for its connections"));
  EXPECT_EQ(reports(), std::vector<Outcome>{Outcome::Failed});
  EXPECT_EQ(writes().size(), 1) << "nothing to end in the dongle";

  BeltConnection refused{commands, clock, console};
  refused.askCapacity(kId);
  refused.refuse(QStringLiteral("full"));
  EXPECT_EQ(refused.state(), State::Failed);
  EXPECT_EQ(refused.failure(), QStringLiteral("full"));
  EXPECT_EQ(refused.takeReport(), Outcome::Failed);

  BeltConnection asked{commands, clock, console};
  asked.askCapacity(kId);
  asked.connect(kId);
  EXPECT_EQ(asked.state(), State::Connecting);
  EXPECT_EQ(writes().last(), QByteArray(kConnect));
}

TEST_F(BeltConnectionTest, AFailingWriteFailsTheAttemptAndIsRethrown) {
  belt.connect(kId);
  belt.connectDirectResponse(0, 1);
  port.failWrites = true;
  EXPECT_THROW(belt.connectionStatus(0x05), Error);
  EXPECT_EQ(belt.state(), State::Failed);
  EXPECT_EQ(belt.handle(), std::nullopt);
  EXPECT_EQ(belt.failure(),
            QStringLiteral("Belt 0007800A1B2C was not connected: the write to the dongle failed"));
  EXPECT_EQ(reports(), std::vector<Outcome>{Outcome::Failed});
  EXPECT_EQ(belt.msUntilDue(), std::nullopt);
}

TEST_F(BeltConnectionTest, ACountdownThroughTheTicksWrap) {
  clock.set(0xFFFFFF00u);
  belt.connect(kId);
  clock.advance(0x200);  // past the wrap
  EXPECT_EQ(belt.msUntilDue(), 3000u - 0x200u);
  belt.tick();
  EXPECT_EQ(belt.state(), State::Connecting);
  clock.advance(3000);
  EXPECT_EQ(belt.msUntilDue(), 0u);
}

}  // namespace
}  // namespace kelvaro
