#include "link/CommandSender.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "link/LinkState.h"
#include "support/FakeSerialTransport.h"

namespace kelvaro {
namespace {

class CommandSenderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(port.open(QStringLiteral("/dev/ttyACM0"), {})); }

  testing::FakeSerialTransport port;
  ConsoleLog console;
  LinkState link;
  CommandSender sender{port, console, link};
};

struct CommandCase {
  const char* name;
  std::function<void(CommandSender&)> send;
  const char* bytes;
  const char* trace;
};

class CommandSenderTableTest : public CommandSenderTest,
                               public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandSenderTableTest, WritesPacketInOneWriteThenTraces) {
  const CommandCase c = GetParam();
  port.onWrite = [this](const QByteArray&) {
    EXPECT_TRUE(console.lines().isEmpty()) << "trace line before the write";
  };
  c.send(sender);

  ASSERT_EQ(port.writes.size(), 1);
  EXPECT_EQ(port.writes[0].toHex(' ').toUpper(), QByteArray(c.bytes));
  EXPECT_EQ(console.lines(), QStringList{QString::fromLatin1(c.trace)});
}

TEST_P(CommandSenderTableTest, FailingWriteThrowsAndLeavesNoTrace) {
  const CommandCase c = GetParam();
  port.failWrites = true;
  EXPECT_THROW(c.send(sender), Error);
  EXPECT_TRUE(port.writes.isEmpty());
  EXPECT_TRUE(console.lines().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandSenderTableTest,
    ::testing::Values(
        CommandCase{"Discover", [](CommandSender& s) { s.sendDiscover(); }, "00 01 06 02 01",
                    "Write1"},
        CommandCase{"Set1", [](CommandSender& s) { s.sendSet1(); }, "00 05 04 05 00 1C 00 01 80",
                    "Write2"},
        CommandCase{"Set2", [](CommandSender& s) { s.sendSet2(); }, "00 06 04 05 00 1A 00 02 01 00",
                    "Write3"},
        CommandCase{"ConnectDirect",
                    [](CommandSender& s) { s.sendConnectDirect(QStringLiteral("0007800A1B2C")); },
                    "00 0F 06 03 2C 1B 0A 80 07 00 00 3C 00 4C 00 64 00 00 00", "Write4"},
        CommandCase{"ConnectDirectLowerCase",
                    [](CommandSender& s) { s.sendConnectDirect(QStringLiteral("a0b1c2d3e4f5")); },
                    "00 0F 06 03 F5 E4 D3 C2 B1 A0 00 3C 00 4C 00 64 00 00 00", "Write4"},
        CommandCase{
            "ConnectDirectLongerText",
            [](CommandSender& s) { s.sendConnectDirect(QStringLiteral("FFEEDDCCBBAA trailing")); },
            "00 0F 06 03 AA BB CC DD EE FF 00 3C 00 4C 00 64 00 00 00", "Write4"},
        CommandCase{"Reset", [](CommandSender& s) { s.sendReset(); }, "00 01 00 00 00", "Write5"},
        CommandCase{"Disconnect", [](CommandSender& s) { s.sendDisconnect(); }, "00 01 03 00 00",
                    "Write6"},
        CommandCase{"EndProcedure", [](CommandSender& s) { s.sendEndProcedure(); }, "00 00 06 04",
                    "Write7"}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

// A further belt's commands name its connection; handle 0 gives the first belt's bytes.
INSTANTIATE_TEST_SUITE_P(
    HandleCommands, CommandSenderTableTest,
    ::testing::Values(
        CommandCase{"Set1OnHandle1", [](CommandSender& s) { s.sendSet1(1); },
                    "00 05 04 05 01 1C 00 01 80", "Write2 H=01"},
        CommandCase{"Set1OnHandle0", [](CommandSender& s) { s.sendSet1(0); },
                    "00 05 04 05 00 1C 00 01 80", "Write2 H=00"},
        CommandCase{"Set2OnHandle2", [](CommandSender& s) { s.sendSet2(2); },
                    "00 06 04 05 02 1A 00 02 01 00", "Write3 H=02"},
        CommandCase{"Set2OnHandle255", [](CommandSender& s) { s.sendSet2(0xFF); },
                    "00 06 04 05 FF 1A 00 02 01 00", "Write3 H=FF"},
        CommandCase{"DisconnectHandle3", [](CommandSender& s) { s.sendDisconnect(3); },
                    "00 01 03 00 03", "Write6 H=03"},
        CommandCase{"DisconnectHandle10", [](CommandSender& s) { s.sendDisconnect(10); },
                    "00 01 03 00 0A", "Write6 H=0A"},
        CommandCase{"GetConnections", [](CommandSender& s) { s.sendGetConnections(); },
                    "00 00 00 06", "Write8"}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

TEST_F(CommandSenderTest, DiscoverClearsDiscoverAnsweredBeforeWriting) {
  link.discoverAnswered = LinkAnswer::Good;
  std::optional<LinkAnswer> answeredAtWrite;
  port.onWrite = [&](const QByteArray&) { answeredAtWrite = link.discoverAnswered; };
  sender.sendDiscover();
  EXPECT_EQ(answeredAtWrite, LinkAnswer::None);

  // A failing write still leaves the flag cleared, so a watchdog sees no answer.
  link.discoverAnswered = LinkAnswer::Good;
  port.failWrites = true;
  EXPECT_THROW(sender.sendDiscover(), Error);
  EXPECT_EQ(link.discoverAnswered, LinkAnswer::None);
}

TEST_F(CommandSenderTest, ClosedPortThrows) {
  port.close();
  EXPECT_THROW(sender.sendEndProcedure(), Error);
  EXPECT_TRUE(console.lines().isEmpty());
}

class BadDeviceIdTest : public CommandSenderTest,
                        public ::testing::WithParamInterface<const char16_t*> {};

TEST_P(BadDeviceIdTest, SendsNothingAndSaysSo) {
  sender.sendConnectDirect(QString::fromUtf16(GetParam()));
  EXPECT_TRUE(port.writes.isEmpty());
  EXPECT_EQ(console.lines(), QStringList{QStringLiteral("ConnectDirect: bad device ID")});
}

INSTANTIATE_TEST_SUITE_P(Texts, BadDeviceIdTest,
                         ::testing::Values(u"", u"0007800A1B2", u"0007800A1B2G", u"G007800A1B2C",
                                           u"00:07:80:0A:1B:2C", u"0007800A1B 2C", u"0x07800A1B2C",
                                           u"0007800A1B2\uFF11"));  // a full-width digit

}  // namespace
}  // namespace kelvaro
