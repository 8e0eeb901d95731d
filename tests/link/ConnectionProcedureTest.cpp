#include "link/ConnectionProcedure.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/TickSource.h"
#include "link/CommandSender.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/RxFramer.h"
#include "link/ScanList.h"
#include "link/SerialReceiver.h"
#include "link/Stopwatch.h"
#include "support/FakeSerialTransport.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using Button = ConnectionView::Button;
using testing::FakeSerialTransport;

constexpr std::uint32_t kStart = 50000;
const QString kBelt = QStringLiteral("0007800A1B2C");
const QString kOtherBelt = QStringLiteral("00078011AA55");

// Line lists compared as one text, so that a failure shows the lines.
std::string joined(const QStringList& lines) {
  return lines.join(QStringLiteral(" | ")).toStdString();
}
#define EXPECT_LINES(actual, expected) EXPECT_EQ(joined(actual), joined(expected))

QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text)); }

// The commands on the wire, byte for byte.
const QByteArray kConnectBelt = hex("000F06032C1B0A800700003C004C0064000000");
const QByteArray kWrite28 = hex("00050405001C000180");
const QByteArray kWrite26 = hex("00060405001A00020100");
const QByteArray kReset = hex("0001000000");
const QByteArray kDisconnect = hex("0001030000");
const QByteArray kDiscover = hex("0001060201");
const QByteArray kEndProcedure = hex("00000604");

const char* name(Button b) {
  switch (b) {
    case Button::ConnectSelected:
      return "ButtonConnect";
    case Button::ConnectLast:
      return "ButtonLastIDt2";
    case Button::ConnectionReset:
      return "ButtonReset2";
    case Button::BleReset:
      return "ButtonReset";
    case Button::BleConnect:
      return "ButtonAutoConn";
  }
  return "?";
}

// The window as the procedure sees it: every call is recorded with the time it was made.
class RecordingView final : public ConnectionView, public ScanView {
 public:
  explicit RecordingView(const TickSource& clock) : clock_(clock) {}

  void setButtonEnabled(Button button, bool enabled) override {
    enabled_[button] = enabled;
    record(QStringLiteral("%1 %2").arg(QLatin1String(name(button)),
                                       enabled ? QStringLiteral("on") : QStringLiteral("off")));
  }
  QString selectedDeviceId() const override { return selected; }
  QString lastBeltIdText() const override { return editLastID; }
  void setLastBeltIdText(const QString& text) override {
    editLastID = text;
    record(QStringLiteral("EditLastID ") + text);
  }
  QString macText() const override { return editMac; }
  void setMacText(const QString& text) override {
    editMac = text;
    record(QStringLiteral("EditMac ") + text);
  }
  void showLiveGraphPage() override { record(QStringLiteral("page Live Graph")); }
  void showConnectionPage() override { record(QStringLiteral("page Connection")); }
  // Kept apart from calls: what the link guard hears.
  void connectionMade(const QString& deviceId) override {
    links << QStringLiteral("made ") + deviceId;
  }
  // As the window's core does: the belt is gone, the next connection starts its count afresh.
  void connectionEnded() override {
    links << QStringLiteral("ended");
    notificationCount = 0;
  }
  QStringList links;
  std::uint32_t notificationCount = 57;
  void showWarning(const QString& text) override {
    warnings.append(text);
    warningAt = clock_.tick();
    record(QStringLiteral("warning ") + text);
    if (onWarning) onWarning();
  }
  void setBusy(const QString& activity) override { busyTexts.append(activity); }
  void resetGraphSlot() override { record(QStringLiteral("GraphSlot 0")); }
  void clearLiveGraph() override {
    clearedAt = clock_.tick();
    record(QStringLiteral("ClearLiveGraph"));
  }
  void showRefusal(const QString& text) override { refusals.append(text); }

  // ScanView, driven by the real dispatcher.
  void setDeviceIdText(const QString& deviceId) override { editMac = deviceId; }
  void setRowCount(int rows) override { rowCount = rows; }
  void setRow(int row, const QString& deviceId, const QString&) override {
    if (row == 1 && selected.isEmpty()) selected = deviceId;
  }
  void setConnectButtonsEnabled(bool enabled) override {
    enabled_[Button::ConnectSelected] = enabled;
    enabled_[Button::ConnectLast] = enabled;
  }

  std::optional<bool> enabled(Button b) const {
    const auto it = enabled_.find(b);
    if (it == enabled_.end()) return std::nullopt;
    return it->second;
  }
  QString busyText() const { return busyTexts.isEmpty() ? QString() : busyTexts.last(); }

  QString selected;
  QString editLastID;
  QString editMac;
  int rowCount = 1;
  QStringList calls;
  QStringList warnings;
  QStringList busyTexts;
  QStringList refusals;
  std::uint32_t warningAt = 0;
  std::uint32_t clearedAt = 0;
  std::function<void()> onWarning;

 private:
  void record(const QString& call) { calls.append(call); }

  const TickSource& clock_;
  std::map<Button, bool> enabled_;
};

struct CountingMeasurements final : MeasurementSink {
  void handleMeasurementNotification(const BgapiPacket&) override { ++count; }
  int count = 0;
};

// The event loop on a manual clock: sleeps last until the next scheduled delivery of dongle bytes
// or the deadline, whichever is first; pending Qt events (posted clicks) run on every pass.
class ScriptedPump final : public EventPump {
 public:
  ScriptedPump(ManualTickSource& clock, FakeSerialTransport& port) : clock_(clock), port_(port) {}

  void deliverAt(std::uint32_t at, const QByteArray& bytes) {
    auto it = std::upper_bound(queue_.begin(), queue_.end(), at,
                               [](std::uint32_t t, const Delivery& d) { return t < d.at; });
    queue_.insert(it, Delivery{at, bytes});
  }

  void processPending() override {
    deliverDue();
    QCoreApplication::processEvents();
  }
  void waitForEvents(std::uint32_t maxMs) override {
    ++sleeps;
    // The window's timers wake the loop at least this often.
    std::uint32_t step = std::min(maxMs, kTimerPeriodMs - clock_.tick() % kTimerPeriodMs);
    if (!queue_.empty()) step = std::min(step, queue_.front().at - clock_.tick());
    clock_.advance(step);
    deliverDue();
    if (onWake) onWake();
  }

  static constexpr std::uint32_t kTimerPeriodMs = 50;

  int sleeps = 0;
  std::function<void()> onWake;  // a timer tick or a click handled while asleep

 private:
  struct Delivery {
    std::uint32_t at;
    QByteArray bytes;
  };
  void deliverDue() {
    while (!queue_.empty() && queue_.front().at <= clock_.tick()) {
      const QByteArray bytes = queue_.front().bytes;
      queue_.erase(queue_.begin());
      // Bytes sent while the port is closed are lost, as with a real dongle.
      if (port_.isOpen()) port_.inject(bytes);
    }
  }

  ManualTickSource& clock_;
  FakeSerialTransport& port_;
  std::vector<Delivery> queue_;
};

// How the scripted dongle answers.
struct DongleScript {
  bool silent = false;
  std::uint16_t connectResult = 0;
  std::uint32_t connectAnswerDelayMs = 0;
  bool reportsLink = true;
  std::uint8_t linkFlags = 0x05;
  std::uint32_t linkDelayMs = 200;
  std::uint32_t completionDelayMs = 30;
  // By the handle written: the handle its procedure-completed event names, its result, or no
  // event at all.
  std::map<std::uint8_t, std::uint8_t> completedHandle;
  std::map<std::uint8_t, std::uint16_t> completedResult;
  std::set<std::uint8_t> noCompletion;
};

QByteArray le16(std::uint16_t v) {
  QByteArray b;
  b.append(char(v & 0xFF)).append(char(v >> 8));
  return b;
}

// A window, a dongle and the link between them, on a manual clock.
struct Harness {
  Harness() {
    QObject::connect(&port, &SerialTransport::readyRead, [this] { readSerialBytes(port, framer); });
    QObject::connect(&console, &ConsoleLog::lineAppended,
                     [this](const QString&) { lineTicks.push_back(clock.tick() - kStart); });
    port.open(QStringLiteral("/dev/ttyACM0"), SerialSettings{});
    port.onWrite = [this](const QByteArray& bytes) { answer(bytes); };
  }

  // The dongle's side: answers are scheduled, never injected inside the write, since a real
  // answer cannot arrive before the command's write has returned.
  void answer(const QByteArray& cmd) {
    if (script.silent || cmd.size() < 4) return;
    const std::uint32_t now = clock.tick();
    const int classId = std::uint8_t(cmd[2]);
    const int id = std::uint8_t(cmd[3]);
    if (classId == 6 && id == 3) {
      pump.deliverAt(now + script.connectAnswerDelayMs,
                     hex("00030603") + le16(script.connectResult) + hex("00"));
      if (script.connectResult == 0 && script.reportsLink) {
        linkAt = now + script.connectAnswerDelayMs + script.linkDelayMs;
        linkUp = script.linkFlags == 0x05;
        QByteArray status = hex("80100300") + hex("00") + QByteArray(1, char(script.linkFlags));
        status += hex("2C1B0A800700") + hex("00") + hex("3C00") + hex("6400") + hex("0000FF");
        pump.deliverAt(linkAt, status);
      }
    } else if (classId == 4 && id == 5) {
      const std::uint8_t handle = std::uint8_t(cmd[5]);
      if (!linkUp || now < linkAt) {
        pump.deliverAt(now, hex("00 03 04 05 00 86 01"));
        return;
      }
      pump.deliverAt(now, hex("00030405000000"));
      if (script.noCompletion.count(handle)) return;
      const auto h = script.completedHandle.find(handle);
      const auto r = script.completedResult.find(handle);
      QByteArray done = hex("8005040100");
      done += le16(r == script.completedResult.end() ? 0 : r->second);
      done +=
          QByteArray(1, char(h == script.completedHandle.end() ? handle : h->second)) + hex("00");
      pump.deliverAt(now + script.completionDelayMs, done);
    } else if (classId == 6 && id == 2) {
      pump.deliverAt(now, hex("000206020000"));
    } else if (classId == 3 && id == 0) {
      pump.deliverAt(now, hex("00030300000000"));
    } else if (classId == 0 && id == 0) {
      pump.deliverAt(now + 1000, hex("800C0000") + QByteArray(12, '\1'));
    }
  }

  void scanResponse(std::uint32_t at, const char* addressLsbFirst, std::int8_t rssi = -60) {
    QByteArray payload = QByteArray(1, char(rssi)) + hex("00") + hex(addressLsbFirst);
    payload += hex("00 FF") + hex("02 01 06");  // address type, bond, advertising data
    pump.deliverAt(at, hex("80") + QByteArray(1, char(payload.size())) + hex("06 00") + payload);
  }

  // The lines this procedure and the command senders write, without the dispatcher's traces.
  QStringList procedureLines() const {
    QStringList out;
    for (const QString& line : console.lines()) {
      if (line.startsWith(QLatin1String("Write")) || line.startsWith(QLatin1String("****")) ||
          line.startsWith(QLatin1String("Connect")) || line.startsWith(QLatin1String("Set")) ||
          line.startsWith(QLatin1String("***"))) {
        out.append(line);
      }
    }
    return out;
  }
  std::uint32_t tickOf(const QString& line) const {
    const int i = console.lines().indexOf(line);
    return i < 0 ? ~0u : lineTicks[static_cast<std::size_t>(i)];
  }
  std::uint32_t elapsed() const { return clock.tick() - kStart; }
  void hearBelt() {
    scanResponse(clock.tick(), "2C1B0A800700");
    pump.processPending();
    ASSERT_EQ(scanList.ScanCount(), 1);
    ASSERT_EQ(view.selected, kBelt);
  }

  ManualTickSource clock{kStart};
  Stopwatch stopwatch{clock};
  FakeSerialTransport port;
  ScriptedPump pump{clock, port};
  Waiter waiter{stopwatch, pump};
  ConsoleLog console;
  LinkState link;
  ScanList scanList;
  RecordingView view{clock};
  CountingMeasurements measurements;
  Dispatcher dispatcher{link, scanList, console, view, measurements};
  RxFramer framer{clock, console, dispatcher};
  CommandSender commands{port, console, link};
  bool reopens = true;
  std::vector<std::uint32_t> reopenTicks;
  ConnectionProcedure procedure{commands,
                                link,
                                scanList,
                                view,
                                view,
                                port,
                                [this] {
                                  reopenTicks.push_back(elapsed());
                                  port.failOpen = !reopens;
                                  return port.open(QStringLiteral("/dev/ttyACM0"), {});
                                },
                                waiter,
                                stopwatch,
                                console};
  DongleScript script;
  std::uint32_t linkAt = 0;
  bool linkUp = false;
  std::vector<std::uint32_t> lineTicks;
};

class ConnectionProcedureTest : public ::testing::Test, public Harness {};

struct PhaseCase {
  const char* what;
  std::function<void(DongleScript&)> setUp;
  QStringList lines;
  bool connected;
};

TEST(ConnectionProcedurePhases, EachPhaseWritesItsOwnLineAndStopsAtTheFirstFailure) {
  const QString w4 = QStringLiteral("Write4"), w2 = QStringLiteral("Write2"),
                w3 = QStringLiteral("Write3");
  const QString ok1 = QStringLiteral("**** Connect send OK"),
                ok2 = QStringLiteral("**** Connect faze2 OK"), ok3 = QStringLiteral("**** Set1 OK");
  const std::vector<PhaseCase> cases = {
      {"all four phases answered",
       [](DongleScript&) {},
       {w4, ok1, w2, ok2, w2, ok3, w3, QStringLiteral("**** Set2 OK")},
       true},
      {"connect refused with 0x0181",
       [](DongleScript& s) { s.connectResult = 0x0181; },
       {w4, QStringLiteral("Connect Faze1 ERR")},
       false},
      {"no answer at all",
       [](DongleScript& s) { s.silent = true; },
       {w4, QStringLiteral("Connect Faze1 Timeout")},
       false},
      {"link reported with flags 07",
       [](DongleScript& s) { s.linkFlags = 0x07; },
       {w4, ok1, w2, QStringLiteral("Connect ERR")},
       false},
      {"link never reported",
       [](DongleScript& s) { s.reportsLink = false; },
       {w4, ok1, w2, QStringLiteral("Connect Timeout")},
       false},
      // Phase 2 clears its flag when it begins, so a report seen during phase 1 does not count.
      {"link reported before phase 2 began",
       [](DongleScript& s) { s.linkDelayMs = 5; },
       {w4, ok1, w2, QStringLiteral("Connect Timeout")},
       false},
      {"procedure completed for attribute 26 while phase 3 waits",
       [](DongleScript& s) { s.completedHandle[0x1C] = 0x1A; },
       {w4, ok1, w2, ok2, w2, QStringLiteral("Set1 ERR")},
       false},
      {"write to 28 completed with an error",
       [](DongleScript& s) { s.completedResult[0x1C] = 0x0401; },
       {w4, ok1, w2, ok2, w2, QStringLiteral("Set1 Timeout")},
       false},
      {"procedure completed for attribute 28 while phase 4 waits",
       [](DongleScript& s) { s.completedHandle[0x1A] = 0x1C; },
       {w4, ok1, w2, ok2, w2, ok3, w3, QStringLiteral("Set2 ERR")},
       false},
      {"notifications never confirmed",
       [](DongleScript& s) { s.noCompletion.insert(0x1A); },
       {w4, ok1, w2, ok2, w2, ok3, w3, QStringLiteral("Set2 Timeout")},
       false},
  };
  for (const PhaseCase& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    c.setUp(h.script);

    EXPECT_EQ(h.procedure.connectToBelt(kBelt), c.connected);

    EXPECT_LINES(h.procedureLines(), c.lines);
    // Nothing is sent after the failing phase: one write per "Write" line.
    EXPECT_EQ(h.port.writes.size(), c.lines.filter(QStringLiteral("Write")).size());
    EXPECT_FALSE(h.procedure.busy());
    EXPECT_TRUE(h.view.busyText().isEmpty());
  }
}

TEST_F(ConnectionProcedureTest, LinkReportedAfter200MsEndsPhaseTwoThen) {
  ASSERT_TRUE(procedure.connectToBelt(kBelt));

  // Phase 1: accepted at once, seen at the first poll.
  EXPECT_EQ(tickOf(QStringLiteral("**** Connect send OK")), 10u);
  // Phase 2: the status event comes 200 ms after the connect command.
  const std::uint32_t phase2 = tickOf(QStringLiteral("**** Connect faze2 OK"));
  EXPECT_GE(phase2, 200u);
  EXPECT_LE(phase2, 210u);
  // Phases 3 and 4 each wait for their write's completion, 30 ms after the write.
  EXPECT_EQ(tickOf(QStringLiteral("**** Set1 OK")), phase2 + 30);
  EXPECT_EQ(tickOf(QStringLiteral("**** Set2 OK")), phase2 + 60);
  EXPECT_EQ(port.writes, (QList<QByteArray>{kConnectBelt, kWrite28, kWrite28, kWrite26}));
  // The busy indicator followed the phases and was cleared at the end.
  EXPECT_GE(view.busyTexts.size(), 5);
  EXPECT_TRUE(view.busyTexts.front().contains(kBelt));
  EXPECT_TRUE(view.busyText().isEmpty());
}

TEST_F(ConnectionProcedureTest, NoAnswerTimesOutAfter300PollsThenWarns) {
  script.silent = true;
  view.editLastID = kBelt;
  view.onWarning = [this] {
    // The box appears after the time-out line, with "Connect Selected" already enabled.
    EXPECT_EQ(console.last(), QStringLiteral("Connect Faze1 Timeout"));
    EXPECT_EQ(view.enabled(Button::ConnectSelected), true);
    EXPECT_TRUE(view.busyText().isEmpty());
  };

  procedure.connectLastClicked();

  EXPECT_EQ(pump.sleeps, ConnectionProcedure::kMaxPolls);
  EXPECT_EQ(tickOf(QStringLiteral("Connect Faze1 Timeout")), 3000u);
  EXPECT_LINES(view.warnings, QStringList{ConnectionProcedure::kConnectFailedText});
  EXPECT_EQ(view.warningAt - kStart, 3000u);
  EXPECT_EQ(port.writes, QList<QByteArray>{kConnectBelt});
  EXPECT_FALSE(view.calls.contains(QStringLiteral("page Live Graph")));
  ASSERT_GE(view.calls.size(), 2);
  EXPECT_EQ(view.calls[0], QStringLiteral("GraphSlot 0"));
  EXPECT_EQ(view.calls[1], QStringLiteral("ButtonConnect off"));
}

TEST_F(ConnectionProcedureTest, ConnectSelectedWithOnlyTheHeadingRowDoesNothing) {
  view.selected = kBelt;  // a stale selection must not matter

  procedure.connectSelectedClicked();

  EXPECT_TRUE(port.writes.isEmpty());
  EXPECT_TRUE(view.calls.isEmpty());
  EXPECT_TRUE(view.busyTexts.isEmpty());
  EXPECT_TRUE(view.warnings.isEmpty());
  EXPECT_EQ(console.count(), 0);
  EXPECT_EQ(elapsed(), 0u);
}

TEST_F(ConnectionProcedureTest, ConnectSelectedSwitchesToTheLiveGraphAndRemembersTheDevice) {
  hearBelt();
  view.editLastID = kOtherBelt;
  // A notification while the link settles is handled before the graph is cleared.
  pump.onWake = [this, sent = false]() mutable {
    if (!sent && view.calls.contains(QStringLiteral("page Live Graph"))) {
      sent = true;
      pump.deliverAt(clock.tick() + 50,
                     testing::notificationBytes(QByteArray(16, '\x11'), 0, 0x000E));
    }
  };

  procedure.connectSelectedClicked();

  ASSERT_FALSE(port.writes.isEmpty());
  EXPECT_EQ(port.writes.first(), kConnectBelt);
  const QStringList expected = {
      QStringLiteral("GraphSlot 0"),      QStringLiteral("ButtonConnect off"),
      QStringLiteral("page Live Graph"),  QStringLiteral("EditLastID ") + kBelt,
      QStringLiteral("EditMac ") + kBelt, QStringLiteral("GraphSlot 0"),
      QStringLiteral("ClearLiveGraph"),
  };
  EXPECT_LINES(view.calls, expected);
  // "Connect Selected" stays disabled on success; "Disconnect" and the next scan enable it.
  EXPECT_EQ(view.enabled(Button::ConnectSelected), false);
  EXPECT_GE(view.clearedAt - kStart, tickOf(QStringLiteral("**** Set2 OK")) + 1200);
  EXPECT_LT(view.clearedAt - kStart, tickOf(QStringLiteral("**** Set2 OK")) + 1220);
  EXPECT_EQ(measurements.count, 1);
  EXPECT_TRUE(view.warnings.isEmpty());
  EXPECT_TRUE(view.busyText().isEmpty());
}

TEST_F(ConnectionProcedureTest, ConnectLastUsesEditLastIdAndLeavesBothTextsAlone) {
  hearBelt();
  // The last scan response wrote the other belt into EditMac; the settings remember that text.
  view.editMac = kOtherBelt;
  view.editLastID = QStringLiteral("0007800a1b2c");

  procedure.connectLastClicked();

  ASSERT_FALSE(port.writes.isEmpty());
  EXPECT_EQ(port.writes.first(), kConnectBelt);
  EXPECT_TRUE(view.calls.contains(QStringLiteral("page Live Graph")));
  EXPECT_TRUE(view.calls.contains(QStringLiteral("ClearLiveGraph")));
  EXPECT_EQ(view.editMac, kOtherBelt);
  EXPECT_EQ(view.editLastID, QStringLiteral("0007800a1b2c"));
  EXPECT_TRUE(view.calls.filter(QStringLiteral("EditMac")).isEmpty());
  EXPECT_TRUE(view.calls.filter(QStringLiteral("EditLastID")).isEmpty());
  // It disables "Connect Selected", not itself.
  EXPECT_EQ(view.enabled(Button::ConnectSelected), false);
  EXPECT_TRUE(view.calls.filter(QStringLiteral("ButtonLastIDt2")).isEmpty());
}

// A belt chosen otherwise (a capture's recorded belt): connected as "Connect Last" connects,
// neither EditLastID nor EditMac taking it.
TEST_F(ConnectionProcedureTest, ConnectToAGivenBeltConnectsWithoutMakingItTheLastOne) {
  hearBelt();
  view.editMac = kOtherBelt;
  view.editLastID = kOtherBelt;

  procedure.connectToClicked(QStringLiteral("0007800A1B2C"));

  ASSERT_FALSE(port.writes.isEmpty());
  EXPECT_EQ(port.writes.first(), kConnectBelt);
  EXPECT_TRUE(view.calls.contains(QStringLiteral("page Live Graph")));
  EXPECT_TRUE(view.calls.contains(QStringLiteral("ClearLiveGraph")));
  EXPECT_EQ(view.editLastID, kOtherBelt);
  EXPECT_EQ(view.editMac, kOtherBelt);
  EXPECT_TRUE(view.warnings.isEmpty());
}

TEST_F(ConnectionProcedureTest, RefusedConnectWarnsAndKeepsThePage) {
  hearBelt();
  script.connectResult = 0x0181;
  view.editLastID = kOtherBelt;

  procedure.connectSelectedClicked();

  EXPECT_LINES(procedureLines(),
               (QStringList{QStringLiteral("Write4"), QStringLiteral("Connect Faze1 ERR")}));
  EXPECT_LINES(view.warnings, QStringList{QStringLiteral("k danemu id se nleze pripojit!")});
  EXPECT_EQ(view.enabled(Button::ConnectSelected), true);
  EXPECT_EQ(view.editLastID, kOtherBelt);
  EXPECT_FALSE(view.calls.contains(QStringLiteral("page Live Graph")));
  EXPECT_FALSE(view.calls.contains(QStringLiteral("ClearLiveGraph")));
  EXPECT_EQ(elapsed(), 10u);
}

TEST_F(ConnectionProcedureTest, ConnectLastWithATextThatIsNoDeviceIdFailsAtOnce) {
  for (const char* text : {"", "0007800A1B", "0007800A1B2G", "belt"}) {
    SCOPED_TRACE(text);
    view.warnings.clear();
    console.clear();
    view.editLastID = QString::fromLatin1(text);
    const std::uint32_t begin = clock.tick();

    procedure.connectLastClicked();

    EXPECT_TRUE(port.writes.isEmpty());
    EXPECT_LINES(console.lines(), (QStringList{QStringLiteral("ConnectDirect: bad device ID"),
                                               QStringLiteral("Connect Faze1 ERR")}));
    EXPECT_EQ(view.warnings.size(), 1);
    EXPECT_EQ(clock.tick(), begin);
    EXPECT_EQ(view.enabled(Button::ConnectSelected), true);
  }
}

TEST(ConnectionProcedureBleConnect, UsesEditMacAndOnlyTogglesItself) {
  for (const bool answered : {false, true}) {
    SCOPED_TRACE(answered);
    Harness h;
    h.script.silent = !answered;
    h.view.editMac = kBelt;
    h.view.editLastID = kOtherBelt;

    h.procedure.bleConnectClicked();

    EXPECT_EQ(h.port.writes.first(), kConnectBelt);
    EXPECT_EQ(h.port.writes.size(), answered ? 4 : 1);
    // The result is ignored: no page change, no message.
    EXPECT_LINES(h.view.calls, (QStringList{QStringLiteral("ButtonAutoConn off"),
                                            QStringLiteral("ButtonAutoConn on")}));
    EXPECT_TRUE(h.view.warnings.isEmpty());
  }
}

TEST_F(ConnectionProcedureTest, DisconnectGoesBackZeroesTheCountAndScansAgain) {
  hearBelt();

  procedure.disconnectClicked();

  EXPECT_LINES(view.calls,
               (QStringList{QStringLiteral("page Connection"), QStringLiteral("ButtonConnect off"),
                            QStringLiteral("ButtonLastIDt2 off")}));
  EXPECT_EQ(port.writes, (QList<QByteArray>{kDisconnect, kDiscover}));
  EXPECT_LINES(procedureLines(), (QStringList{QStringLiteral("Write6"), QStringLiteral("Write1")}));
  EXPECT_EQ(view.notificationCount, 0u);
  EXPECT_EQ(scanList.ScanCount(), 0);
  EXPECT_EQ(view.rowCount, 1);
  EXPECT_EQ(link.discoverAnswered, LinkAnswer::None);

  // The first device heard enables the connect buttons again.
  view.selected.clear();
  hearBelt();
  EXPECT_EQ(view.enabled(Button::ConnectSelected), true);
  EXPECT_EQ(view.enabled(Button::ConnectLast), true);
}

TEST_F(ConnectionProcedureTest, DisconnectForgetsTheOldConnectionEvenWhenTheWriteFails) {
  hearBelt();
  port.failWrites = true;

  EXPECT_THROW(procedure.disconnectClicked(), Error);

  EXPECT_EQ(view.notificationCount, 0u);
  EXPECT_EQ(scanList.ScanCount(), 0);
  EXPECT_EQ(view.rowCount, 1);
  EXPECT_TRUE(port.writes.isEmpty());
  EXPECT_TRUE(procedureLines().isEmpty());
}

TEST_F(ConnectionProcedureTest, ConnectionResetKeepsHandlingBytesTicksAndClicks) {
  hearBelt();
  view.editLastID = kBelt;
  view.editMac = kBelt;
  // A belt heard during the dongle's restart, and one while the port is closed (lost).
  scanResponse(clock.tick() + 2000, "55AA11800700");
  scanResponse(clock.tick() + 5500, "010203040506");
  int timerTicks = 0;
  std::uint32_t lastTimerTick = clock.tick();
  bool clicked = false;
  QString busyWhenClicked;
  pump.onWake = [&] {
    // dongleWatchdogTimer ticks every second of the wait.
    if (clock.tick() - lastTimerTick >= 1000) {
      lastTimerTick = clock.tick();
      QMetaObject::invokeMethod(
          QCoreApplication::instance(), [&] { ++timerTicks; }, Qt::QueuedConnection);
    }
    // Every button clicked once, 3 s into the reset.
    if (!clicked && elapsed() >= 3000) {
      clicked = true;
      busyWhenClicked = view.busyText();
      QMetaObject::invokeMethod(
          QCoreApplication::instance(),
          [&] {
            procedure.connectSelectedClicked();
            procedure.connectLastClicked();
            procedure.bleConnectClicked();
            procedure.bleResetClicked();
            procedure.connectionResetClicked();
          },
          Qt::QueuedConnection);
    }
  };

  procedure.connectionResetClicked();

  EXPECT_EQ(elapsed(), 6000u);
  EXPECT_EQ(timerTicks, 6);
  ASSERT_TRUE(clicked);
  EXPECT_FALSE(busyWhenClicked.isEmpty());
  // Each refused click was told; "BLE Connect" too, though it has no place on the same page.
  EXPECT_LINES(view.refusals, QStringList(5, ConnectionProcedure::kBusyResettingText));
  // The clicks changed nothing: one reset, then one discovery.
  EXPECT_EQ(port.writes, (QList<QByteArray>{kReset, kDiscover}));
  EXPECT_LINES(procedureLines(),
               (QStringList{QStringLiteral("*** Cekejte ***"), QStringLiteral("Write5"),
                            QStringLiteral("*** Hotovo ***"), QStringLiteral("Write1")}));
  EXPECT_EQ(tickOf(QStringLiteral("E60 ScanResp Rssi=-60 Sender=00:07:80:11:AA:55")), 2000u);
  EXPECT_FALSE(
      console.lines().contains(QStringLiteral("E60 ScanResp Rssi=-60 Sender=06:05:04:03:02:01")));
  // The boot event came while the port was open; the port was closed at 5 s, opened at 6 s.
  EXPECT_EQ(console.lines().filter(QStringLiteral("HD=80 CID=0 CMD=0 L=12")).size(), 1);
  EXPECT_EQ(reopenTicks, std::vector<std::uint32_t>{6000});
  EXPECT_TRUE(port.isOpen());
  const QStringList expected = {
      QStringLiteral("ButtonReset2 off"),   QStringLiteral("ButtonConnect off"),
      QStringLiteral("ButtonLastIDt2 off"), QStringLiteral("ButtonReset off"),
      QStringLiteral("ButtonReset on"),     QStringLiteral("ButtonReset2 on"),
      QStringLiteral("ButtonConnect on"),   QStringLiteral("ButtonLastIDt2 on"),
  };
  EXPECT_LINES(view.calls, expected);
  EXPECT_EQ(scanList.ScanCount(), 0);
  EXPECT_EQ(view.rowCount, 1);
  EXPECT_FALSE(procedure.busy());
  EXPECT_TRUE(view.busyText().isEmpty());
}

TEST_F(ConnectionProcedureTest, ResetThatCannotReopenThePortLeavesTheButtonsUsable) {
  reopens = false;
  hearBelt();

  try {
    procedure.connectionResetClicked();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("/dev/ttyACM0"), std::string::npos) << e.what();
  }

  EXPECT_EQ(port.writes, QList<QByteArray>{kReset});
  EXPECT_FALSE(procedureLines().contains(QStringLiteral("*** Hotovo ***")));
  for (const Button b :
       {Button::BleReset, Button::ConnectionReset, Button::ConnectSelected, Button::ConnectLast}) {
    EXPECT_EQ(view.enabled(b), true) << name(b);
  }
  EXPECT_FALSE(procedure.busy());
  EXPECT_TRUE(view.busyText().isEmpty());
  // Nothing was emptied or started.
  EXPECT_EQ(scanList.ScanCount(), 1);

  // Once the dongle is back, the reset can be tried again.
  reopens = true;
  port.failOpen = false;
  port.open(QStringLiteral("/dev/ttyACM0"), {});
  procedure.bleResetClicked();
  EXPECT_EQ(procedureLines().last(), QStringLiteral("*** Hotovo ***"));
  EXPECT_EQ(view.enabled(Button::BleReset), true);
}

TEST(ConnectionProcedureWriteFailure, EndsTheConnectWithUsableButtons) {
  // 1-based number of the write that fails: the connect command, the Set1 of phase 2, the Set2.
  for (const int failing : {1, 2, 4}) {
    SCOPED_TRACE(failing);
    Harness h;
    h.hearBelt();
    int writes = 0;
    h.port.failWrites = failing == 1;
    h.port.onWrite = [&](const QByteArray& bytes) {
      h.answer(bytes);
      if (++writes == failing - 1) h.port.failWrites = true;
    };

    EXPECT_THROW(h.procedure.connectSelectedClicked(), Error);

    EXPECT_EQ(h.port.writes.size(), failing - 1);
    EXPECT_EQ(h.view.enabled(Button::ConnectSelected), true);
    EXPECT_TRUE(h.view.warnings.isEmpty());
    EXPECT_FALSE(h.view.calls.contains(QStringLiteral("page Live Graph")));
    EXPECT_FALSE(h.procedure.busy());
    EXPECT_TRUE(h.view.busyText().isEmpty());

    // Not stuck: the next click connects.
    h.waiter.waitMs(1000);
    h.port.failWrites = false;
    h.procedure.connectSelectedClicked();
    EXPECT_TRUE(h.view.calls.contains(QStringLiteral("page Live Graph")));
  }
}

using Click = void (ConnectionProcedure::*)();

struct ClickCase {
  const char* what;
  Click click;
};

TEST(ConnectionProcedureReentry, ConnectsAndResetsDuringAConnectAreRefusedAndSaidSo) {
  const ClickCase cases[] = {
      {"Connect Selected", &ConnectionProcedure::connectSelectedClicked},
      {"Connect Last", &ConnectionProcedure::connectLastClicked},
      {"BLE Connect", &ConnectionProcedure::bleConnectClicked},
      {"BLE Reset", &ConnectionProcedure::bleResetClicked},
      {"Connection Reset", &ConnectionProcedure::connectionResetClicked},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.hearBelt();
    h.view.editLastID = kOtherBelt;
    h.view.editMac = kOtherBelt;
    // Clicked while phase 2 waits for the link, and again while the link settles.
    int clicks = 0;
    h.pump.onWake = [&] {
      if ((clicks == 0 && h.elapsed() >= 100) || (clicks == 1 && h.elapsed() >= 800)) {
        ++clicks;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { (h.procedure.*c.click)(); }, Qt::QueuedConnection);
      }
    };

    h.procedure.connectSelectedClicked();

    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(h.port.writes, (QList<QByteArray>{kConnectBelt, kWrite28, kWrite28, kWrite26}));
    EXPECT_TRUE(h.view.calls.contains(QStringLiteral("ClearLiveGraph")));
    EXPECT_FALSE(h.view.calls.contains(QStringLiteral("page Connection")));
    EXPECT_EQ(h.view.notificationCount, 57u);
    EXPECT_EQ(h.scanList.ScanCount(), 1);
    EXPECT_TRUE(h.view.warnings.isEmpty());
    EXPECT_LINES(h.view.refusals, QStringList(2, ConnectionProcedure::kBusyConnectingText));
  }
}

// Posts a click to the event loop, as a button press handled inside a pumping wait would come.
void post(std::function<void()> click) {
  QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(click), Qt::QueuedConnection);
}

struct StopCase {
  const char* what;
  Click click;
  std::function<void(DongleScript&)> setUp;
  std::uint32_t disconnectAt;  // ms after the click
  QString busyAtDisconnect;    // the phase then under way, by its busy text
  QList<QByteArray> sentBefore;
  // The dongle is still making the connection: its procedure is ended before the disconnect.
  bool connecting;
  QStringList lines;
};

TEST(ConnectionProcedureDisconnect, DuringThePhasesStopsThemThenDisconnectsOnce) {
  const QString w4 = QStringLiteral("Write4"), w2 = QStringLiteral("Write2"),
                w3 = QStringLiteral("Write3"), w6 = QStringLiteral("Write6"),
                w7 = QStringLiteral("Write7"), w1 = QStringLiteral("Write1");
  const QString ok1 = QStringLiteral("**** Connect send OK"),
                ok2 = QStringLiteral("**** Connect faze2 OK"), ok3 = QStringLiteral("**** Set1 OK");
  const auto select = &ConnectionProcedure::connectSelectedClicked;
  const std::vector<StopCase> cases = {
      {"phase 1, the connect not yet accepted",
       select,
       [](DongleScript& s) { s.connectAnswerDelayMs = 500; },
       200,
       QStringLiteral("Connecting to ") + kBelt,
       {kConnectBelt},
       true,
       {w4, w7, w6, w1}},
      {"phase 2, the link not yet up",
       select,
       [](DongleScript&) {},
       100,
       QStringLiteral("Waiting for the link to ") + kBelt,
       {kConnectBelt, kWrite28},
       true,
       {w4, ok1, w2, w7, w6, w1}},
      {"phase 3, attribute 28 not yet written",
       select,
       [](DongleScript& s) { s.noCompletion.insert(0x1C); },
       1000,
       QStringLiteral("Setting up the belt"),
       {kConnectBelt, kWrite28, kWrite28},
       false,
       {w4, ok1, w2, ok2, w2, w6, w1}},
      {"phase 4, notifications not yet on",
       select,
       [](DongleScript& s) { s.noCompletion.insert(0x1A); },
       1000,
       QStringLiteral("Switching notifications on"),
       {kConnectBelt, kWrite28, kWrite28, kWrite26},
       false,
       {w4, ok1, w2, ok2, w2, ok3, w3, w6, w1}},
      {"Connect Last in phase 2",
       &ConnectionProcedure::connectLastClicked,
       [](DongleScript&) {},
       100,
       QStringLiteral("Waiting for the link to ") + kBelt,
       {kConnectBelt, kWrite28},
       true,
       {w4, ok1, w2, w7, w6, w1}},
      {"BLE Connect in phase 3",
       &ConnectionProcedure::bleConnectClicked,
       [](DongleScript& s) { s.noCompletion.insert(0x1C); },
       1000,
       QStringLiteral("Setting up the belt"),
       {kConnectBelt, kWrite28, kWrite28},
       false,
       {w4, ok1, w2, ok2, w2, w6, w1}},
  };
  for (const StopCase& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.hearBelt();
    h.view.editLastID = kBelt;
    h.view.editMac = kBelt;
    c.setUp(h.script);
    std::optional<std::uint32_t> clickedAt;
    QString busyWhenClicked;
    h.pump.onWake = [&] {
      if (!clickedAt && h.elapsed() >= c.disconnectAt) {
        clickedAt = h.elapsed();
        busyWhenClicked = h.view.busyText();
        // Pressed twice before the procedure notices: still one disconnect.
        post([&] { h.procedure.disconnectClicked(); });
        post([&] { h.procedure.disconnectClicked(); });
      }
    };

    (h.procedure.*c.click)();

    ASSERT_TRUE(clickedAt.has_value());
    EXPECT_EQ(busyWhenClicked, c.busyAtDisconnect);
    // Nothing of the connect after the Disconnect; the disconnect and the new scan instead.
    QList<QByteArray> stop{kDisconnect, kDiscover};
    if (c.connecting) stop.prepend(kEndProcedure);
    EXPECT_EQ(h.port.writes, c.sentBefore + stop);
    // The stopped phase leaves no trace line: the dongle did not fail.
    EXPECT_LINES(h.procedureLines(), c.lines);
    EXPECT_LE(h.tickOf(w6) - *clickedAt, 10u);
    EXPECT_LE(h.elapsed() - *clickedAt, 10u);
    EXPECT_TRUE(h.view.calls.contains(QStringLiteral("page Connection")));
    EXPECT_FALSE(h.view.calls.contains(QStringLiteral("page Live Graph")));
    EXPECT_FALSE(h.view.calls.contains(QStringLiteral("ClearLiveGraph")));
    EXPECT_TRUE(h.view.warnings.isEmpty());
    EXPECT_TRUE(h.view.refusals.isEmpty());
    EXPECT_EQ(h.view.notificationCount, 0u);
    EXPECT_EQ(h.scanList.ScanCount(), 0);
    EXPECT_EQ(h.view.rowCount, 1);
    // The buttons the connect or the disconnect disabled are usable again.
    EXPECT_EQ(h.view.enabled(Button::ConnectSelected), true);
    EXPECT_EQ(h.view.enabled(Button::ConnectLast), true);
    if (c.click == &ConnectionProcedure::bleConnectClicked) {
      EXPECT_EQ(h.view.enabled(Button::BleConnect), true);
    }
    EXPECT_FALSE(h.procedure.busy());
    EXPECT_TRUE(h.view.busyText().isEmpty());

    // Not stuck: once the answers to the stopped connect are over, the next connect is not
    // refused and succeeds.
    h.pump.onWake = nullptr;
    h.waiter.waitMs(1000);
    h.script = DongleScript{};
    h.procedure.connectLastClicked();
    EXPECT_TRUE(h.view.refusals.isEmpty());
    EXPECT_TRUE(h.view.calls.contains(QStringLiteral("page Live Graph")));
  }
}

TEST(ConnectionProcedureDisconnect, WhileTheLinkSettlesGoesBackAtOnceAndStaysThere) {
  // ms after the first pass of the settling wait.
  for (const std::uint32_t offset : {0u, 600u, 1150u}) {
    SCOPED_TRACE(offset);
    Harness h;
    h.hearBelt();
    h.view.editLastID = kOtherBelt;
    std::optional<std::uint32_t> settlingFrom;
    std::optional<std::uint32_t> clickedAt;
    h.pump.onWake = [&] {
      if (!h.view.calls.contains(QStringLiteral("page Live Graph"))) return;
      if (!settlingFrom) settlingFrom = h.elapsed();
      if (!clickedAt && h.elapsed() >= *settlingFrom + offset) {
        clickedAt = h.elapsed();
        post([&] { h.procedure.disconnectClicked(); });
      }
    };

    h.procedure.connectSelectedClicked();

    ASSERT_TRUE(clickedAt.has_value());
    EXPECT_EQ(h.port.writes, (QList<QByteArray>{kConnectBelt, kWrite28, kWrite28, kWrite26,
                                                kDisconnect, kDiscover}));
    // The Disconnect ran when it was clicked; the wait ended at its next slice.
    EXPECT_EQ(h.tickOf(QStringLiteral("Write6")), *clickedAt);
    EXPECT_LE(h.elapsed() - *clickedAt, 10u);
    // The hidden graph is wiped as after any settling; nothing shows "Live Graph" again.
    const QStringList expected = {
        QStringLiteral("GraphSlot 0"),        QStringLiteral("ButtonConnect off"),
        QStringLiteral("page Live Graph"),    QStringLiteral("EditLastID ") + kBelt,
        QStringLiteral("EditMac ") + kBelt,   QStringLiteral("GraphSlot 0"),
        QStringLiteral("page Connection"),    QStringLiteral("ButtonConnect off"),
        QStringLiteral("ButtonLastIDt2 off"), QStringLiteral("ClearLiveGraph"),
    };
    EXPECT_LINES(h.view.calls, expected);
    EXPECT_EQ(h.view.notificationCount, 0u);
    EXPECT_EQ(h.scanList.ScanCount(), 0);
    EXPECT_EQ(h.view.rowCount, 1);
    EXPECT_TRUE(h.view.warnings.isEmpty());
    EXPECT_TRUE(h.view.refusals.isEmpty());
    EXPECT_FALSE(h.procedure.busy());
    EXPECT_TRUE(h.view.busyText().isEmpty());

    // As after any Disconnect, the first device heard enables the connect buttons again.
    EXPECT_EQ(h.view.enabled(Button::ConnectSelected), false);
    EXPECT_EQ(h.view.enabled(Button::ConnectLast), false);
    h.pump.onWake = nullptr;
    h.view.selected.clear();
    h.hearBelt();
    EXPECT_EQ(h.view.enabled(Button::ConnectSelected), true);
    EXPECT_EQ(h.view.enabled(Button::ConnectLast), true);
  }
}

TEST(ConnectionProcedureDisconnect, BleDisconnectDuringAConnectIsSentAndTheConnectGoesOn) {
  struct Case {
    const char* what;
    std::uint32_t clickAt;
    QList<QByteArray> writes;
  };
  const Case cases[] = {
      {"phase 2", 100, {kConnectBelt, kWrite28, kDisconnect, kWrite28, kWrite26}},
      {"the settling of the link", 800, {kConnectBelt, kWrite28, kWrite28, kWrite26, kDisconnect}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.hearBelt();
    bool clicked = false;
    h.pump.onWake = [&] {
      if (!clicked && h.elapsed() >= c.clickAt) {
        clicked = true;
        post([&] { h.procedure.bleDisconnectClicked(); });
      }
    };

    h.procedure.connectSelectedClicked();

    ASSERT_TRUE(clicked);
    EXPECT_EQ(h.port.writes, c.writes);
    EXPECT_TRUE(h.view.refusals.isEmpty());
    // Only the command: the connect ends as it would have.
    EXPECT_TRUE(h.view.calls.contains(QStringLiteral("ClearLiveGraph")));
    EXPECT_FALSE(h.view.calls.contains(QStringLiteral("page Connection")));
    EXPECT_EQ(h.view.notificationCount, 57u);
  }
}

TEST_F(ConnectionProcedureTest, DisconnectDuringAConnectionResetRunsAtOnceAndTheResetGoesOn) {
  hearBelt();
  std::optional<std::uint32_t> clickedAt;
  pump.onWake = [&] {
    if (!clickedAt && elapsed() >= 3000) {
      clickedAt = elapsed();
      post([this] { procedure.disconnectClicked(); });
    }
  };

  procedure.connectionResetClicked();

  ASSERT_TRUE(clickedAt.has_value());
  EXPECT_EQ(tickOf(QStringLiteral("Write6")), *clickedAt);
  EXPECT_EQ(port.writes, (QList<QByteArray>{kReset, kDisconnect, kDiscover, kDiscover}));
  EXPECT_EQ(elapsed(), 6000u);
  EXPECT_EQ(procedureLines().filter(QStringLiteral("*** Hotovo ***")).size(), 1);
  EXPECT_TRUE(view.calls.contains(QStringLiteral("page Connection")));
  EXPECT_EQ(view.notificationCount, 0u);
  EXPECT_TRUE(view.refusals.isEmpty());
  // The reset ends as always, with its buttons enabled.
  for (const Button b :
       {Button::BleReset, Button::ConnectionReset, Button::ConnectSelected, Button::ConnectLast}) {
    EXPECT_EQ(view.enabled(b), true) << name(b);
  }
  EXPECT_FALSE(procedure.busy());
}

TEST_F(ConnectionProcedureTest, ConnectToBeltRefusesToRunInsideARunningProcedure) {
  view.editLastID = kBelt;
  std::optional<bool> nested;
  pump.onWake = [&] {
    if (!nested) nested = procedure.connectToBelt(kOtherBelt);
  };

  procedure.connectLastClicked();

  EXPECT_EQ(nested, false);
  EXPECT_EQ(port.writes, (QList<QByteArray>{kConnectBelt, kWrite28, kWrite28, kWrite26}));
  // Not a click: nothing to tell the user.
  EXPECT_TRUE(view.refusals.isEmpty());
}

struct CloseCase {
  const char* what;
  Click click;
  std::uint32_t closeAt;  // ms after the click
};

TEST(ConnectionProcedureClose, ClosingTheWindowDuringAWaitEndsTheProcedureQuietly) {
  const CloseCase cases[] = {
      {"phase 1 of a silent dongle", &ConnectionProcedure::connectLastClicked, 1000},
      {"phase 2", &ConnectionProcedure::connectSelectedClicked, 100},
      {"the settling of the link", &ConnectionProcedure::connectSelectedClicked, 600},
      {"the dongle restart", &ConnectionProcedure::connectionResetClicked, 2000},
      {"the closed port", &ConnectionProcedure::bleResetClicked, 5500},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.what);
    Harness h;
    h.hearBelt();
    h.view.editLastID = kBelt;
    h.script.silent = c.click == &ConnectionProcedure::connectLastClicked;
    int callsAtClose = -1;
    int writesAtClose = -1;
    int linesAtClose = -1;
    int busyAtClose = -1;
    std::uint32_t closedAt = 0;
    h.pump.onWake = [&] {
      if (callsAtClose < 0 && h.elapsed() >= c.closeAt) {
        h.procedure.abandon();
        closedAt = h.elapsed();
        callsAtClose = h.view.calls.size();
        writesAtClose = h.port.writes.size();
        linesAtClose = h.procedureLines().size();
        busyAtClose = h.view.busyTexts.size();
      }
    };

    (h.procedure.*c.click)();

    ASSERT_GE(callsAtClose, 0);
    EXPECT_LE(h.elapsed() - closedAt, 10u);
    EXPECT_EQ(h.view.calls.size(), callsAtClose);
    EXPECT_EQ(h.port.writes.size(), writesAtClose);
    EXPECT_EQ(h.procedureLines().size(), linesAtClose);
    EXPECT_EQ(h.view.busyTexts.size(), busyAtClose);
    EXPECT_TRUE(h.view.warnings.isEmpty());
    EXPECT_TRUE(h.reopenTicks.empty());
    EXPECT_FALSE(h.procedure.busy());
    EXPECT_TRUE(h.procedure.abandoned());

    // Later clicks do nothing.
    h.pump.onWake = nullptr;
    h.procedure.connectSelectedClicked();
    h.procedure.connectLastClicked();
    h.procedure.disconnectClicked();
    h.procedure.connectionResetClicked();
    EXPECT_EQ(h.port.writes.size(), writesAtClose);
    EXPECT_EQ(h.view.calls.size(), callsAtClose);
    EXPECT_TRUE(h.view.refusals.isEmpty());
  }
}

// A connect that failed after it was sent may leave the dongle connecting or connected to the
// belt, and the next connect would fail with 0x0181: the next attempt ends that first.
TEST_F(ConnectionProcedureTest, AFailedConnectIsEndedBeforeTheNextAttempt) {
  view.editLastID = kBelt;
  script.reportsLink = false;  // the link never comes: phase 2 times out
  procedure.connectLastClicked();
  ASSERT_EQ(view.warnings.size(), 1);
  EXPECT_EQ(port.writes, (QList<QByteArray>{kConnectBelt, kWrite28}));

  port.writes.clear();
  script.reportsLink = true;
  procedure.connectLastClicked();
  ASSERT_GE(port.writes.size(), 3);
  EXPECT_EQ(port.writes.mid(0, 3), (QList<QByteArray>{kDisconnect, kEndProcedure, kConnectBelt}));
  EXPECT_EQ(view.warnings.size(), 1) << "the second attempt connected";
  EXPECT_EQ(view.links, QStringList{QStringLiteral("made ") + kBelt});

  // After a success nothing is left to end.
  procedure.disconnectClicked();
  port.writes.clear();
  procedure.connectLastClicked();
  ASSERT_FALSE(port.writes.isEmpty());
  EXPECT_EQ(port.writes.first(), kConnectBelt);
}

// The guard's reconnect: leftovers ended first, the phases again, and none of the pages or
// warnings of a user's connect; refused inside a running procedure.
TEST_F(ConnectionProcedureTest, AReconnectEndsTheLeftoversAndConnectsQuietly) {
  EXPECT_TRUE(procedure.reconnect(kBelt));
  ASSERT_GE(port.writes.size(), 3);
  EXPECT_EQ(port.writes.mid(0, 3), (QList<QByteArray>{kDisconnect, kEndProcedure, kConnectBelt}));
  EXPECT_FALSE(view.calls.contains(QStringLiteral("page Live Graph")));
  EXPECT_FALSE(view.calls.contains(QStringLiteral("GraphSlot 0")));
  EXPECT_FALSE(procedure.busy());
  EXPECT_TRUE(view.links.isEmpty()) << "the guard knows of its own reconnect";

  script.silent = true;
  EXPECT_FALSE(procedure.reconnect(kBelt));
  EXPECT_TRUE(view.warnings.isEmpty());

  bool inside = true;
  view.onWarning = [&] { inside = procedure.reconnect(kBelt); };
  view.editLastID = kBelt;
  procedure.connectLastClicked();
  EXPECT_FALSE(inside) << "refused while the warning of a running connect is up";
}

TEST_F(ConnectionProcedureTest, DisconnectTellsTheViewTheConnectionEnded) {
  procedure.disconnectClicked();
  EXPECT_EQ(view.links, QStringList{QStringLiteral("ended")});
}

}  // namespace
}  // namespace kelvaro
