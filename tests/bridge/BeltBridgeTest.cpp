// The bridge driven as an editor drives it: the extension fetched over HTTP, the belt's values
// over a WebSocket, and every request it must refuse, on the loopback interface only, while the
// event loop keeps turning.
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTimer>
#include <QWebSocket>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "activity/ActivityMonitor.h"
#include "base/ConsoleLog.h"
#include "bridge/BeltBridge.h"
#include "bridge/BridgeSupport.h"
#include "support/ScratchPeer.h"

namespace kelvaro {
namespace {

using bridgetest::exchange;
using bridgetest::get;
using bridgetest::upgradeRequest;
using testing::LoopLatency;

const QString kTurboWarp = QStringLiteral("https://turbowarp.org");

class BeltBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bridge = std::make_unique<BeltBridge>(console, activity);
    ASSERT_TRUE(bridge->start(0, OriginList::parse(OriginList::defaultText(8000))))
        << console.lines().join('\n').toStdString();
    port = bridge->port();
    console.clear();
  }

  // An editor's WebSocket from `origin`, and the messages it receives.
  struct Editor {
    std::unique_ptr<QWebSocket> socket;
    std::vector<QJsonObject> messages;
  };
  std::unique_ptr<Editor> openEditor(const QString& origin = kTurboWarp) {
    auto editor = std::make_unique<Editor>();
    editor->socket = std::make_unique<QWebSocket>(origin);
    Editor* e = editor.get();
    QObject::connect(e->socket.get(), &QWebSocket::textMessageReceived, [e](const QString& text) {
      e->messages.push_back(QJsonDocument::fromJson(text.toUtf8()).object());
    });
    e->socket->open(QUrl(QStringLiteral("ws://localhost:%1/belt").arg(port)));
    return editor;
  }
  bool connected(Editor& e, int editors = 1) {
    return QTest::qWaitFor(
        [&] {
          return e.socket->state() == QAbstractSocket::ConnectedState &&
                 bridge->editorCount() == editors;
        },
        5000);
  }

  // One decoded notification with these values, as the core hands it on.
  void notify(double force1, int accelX, bool inhaling = false, bool apnea = false) {
    state.force1Grams = force1;
    state.force2Grams = force1 / 2;
    state.accelX = static_cast<std::int16_t>(accelX);
    state.accelY = -3;
    state.accelZ = 250;
    breath.inhaling = inhaling;
    breath.apnea = apnea;
    bridge->notificationDecoded({state, outcome, breath, -1, 0});
  }

  ConsoleLog console;
  ActivityMonitor activity;
  std::unique_ptr<BeltBridge> bridge;
  std::uint16_t port = 0;
  MeasurementState state;
  NotificationOutcome outcome;
  BreathUpdate breath;
};

TEST_F(BeltBridgeTest, ServesTheExtensionToAnyPageAndAShortPageAtTheRoot) {
  const auto script =
      get(port, "GET /kelvaro-belt.js HTTP/1.1\r\nHost: localhost:" + QByteArray::number(port) +
                    "\r\n\r\n");
  ASSERT_EQ(script.status, 200) << script.raw.left(300).toStdString();
  EXPECT_EQ(script.fields.value("content-type"), "text/javascript; charset=utf-8");
  EXPECT_EQ(script.fields.value("access-control-allow-origin"), "*");
  EXPECT_EQ(script.fields.value("content-length").toInt(), script.body.size());
  EXPECT_TRUE(script.closed);
  EXPECT_EQ(script.body, bridge->script());
  EXPECT_TRUE(script.body.contains("Scratch.extensions.register("));
  EXPECT_TRUE(script.body.contains("'ws://localhost:" + QByteArray::number(port) + "/belt'"))
      << "the extension finds the port it was served from";
  QFile source(QStringLiteral(KELVARO_EXTENSION_SOURCE));
  ASSERT_TRUE(source.open(QIODevice::ReadOnly));
  EXPECT_EQ(QByteArray(source.readAll())
                .replace("localhost:8000/belt", "localhost:" + QByteArray::number(port) + "/belt"),
            script.body)
      << "the file of the repository, nothing else";

  const auto head = get(port, "HEAD /kelvaro-belt.js HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(head.body.isEmpty());
  EXPECT_EQ(head.fields.value("content-length").toInt(), script.body.size());

  const auto page = get(port, "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n");
  EXPECT_EQ(page.status, 200);
  EXPECT_TRUE(page.fields.value("content-type").startsWith("text/html"));
  EXPECT_TRUE(page.body.contains(BeltBridge::extensionAddress(port).toLatin1()));
  EXPECT_TRUE(console.lines().isEmpty()) << "serving is not news";
}

TEST_F(BeltBridgeTest, AnEditorOfAnAllowedOriginGetsEveryNotificationInOrder) {
  auto editor = openEditor();
  ASSERT_TRUE(connected(*editor));
  ASSERT_TRUE(QTest::qWaitFor([&] { return editor->messages.size() == 1; }, 5000));
  EXPECT_EQ(editor->messages[0].value("connected").toBool(true), false)
      << "the greeting says no belt is there yet";
  EXPECT_EQ(console.lines(),
            QStringList{QStringLiteral("Scratch 3: an editor connected (https://turbowarp.org), "
                                       "1 in all")});

  bridge->linkChanged({LinkEvent::Connected, QStringLiteral("000780008D83"), QString()});
  // In bursts, as the port hands the loop several notifications at a time.
  for (int i = 0; i < 200; ++i) {
    notify(i * 0.5, i - 100, i % 40 >= 20, i >= 190);
    if (i % 25 == 24) {
      ASSERT_TRUE(
          QTest::qWaitFor([&] { return editor->messages.size() == std::size_t(i) + 3; }, 5000));
    }
  }
  bridge->linkChanged({LinkEvent::Lost, QStringLiteral("000780008D83"), QStringLiteral("gone")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return editor->messages.size() == 203; }, 5000))
      << editor->messages.size();
  EXPECT_EQ(editor->messages[1].value("connected").toBool(), true);
  for (int i = 0; i < 200; ++i) {
    const QJsonObject& m = editor->messages[std::size_t(i) + 2];
    ASSERT_EQ(m.value("n").toInt(), i + 1);
    EXPECT_DOUBLE_EQ(m.value("force").toDouble(), std::round(i * 5.0) / 10.0);
    EXPECT_EQ(m.value("GX").toInt(), i - 100);
    EXPECT_EQ(m.value("GZ").toInt(), 250);
    EXPECT_EQ(m.value("phase").toString(), i < 20 ? QString() : i % 40 >= 20 ? "in" : "out") << i;
    EXPECT_EQ(m.value("apnea").toBool(), i >= 190);
    EXPECT_TRUE(m.value("connected").toBool());
  }
  EXPECT_FALSE(editor->messages.back().value("connected").toBool(true)) << "the link was lost";
  EXPECT_EQ(bridge->droppedMessages(), 0u);
}

TEST_F(BeltBridgeTest, RefusesEveryOtherOriginWithOneLine) {
  const struct {
    QByteArray origin;
    QString line;
  } cases[] = {
      {"https://evil.example",
       "Scratch 3: refused a WebSocket from https://evil.example (not among the Origins of "
       "[Scratch3])"},
      {"null", "Scratch 3: refused a WebSocket from null (not among the Origins of [Scratch3])"},
      {QByteArray(), "Scratch 3: refused a WebSocket from no page (no Origin)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.origin.toStdString());
    console.clear();
    const auto refused = get(port, upgradeRequest(port, c.origin));
    EXPECT_EQ(refused.status, 403);
    EXPECT_TRUE(refused.closed);
    EXPECT_EQ(console.lines(), QStringList{c.line});
    EXPECT_EQ(bridge->editorCount(), 0);
  }

  // Qt's own client from a page that is not on the list never connects.
  console.clear();
  auto editor = openEditor(QStringLiteral("https://evil.example"));
  bool ended = false;
  QObject::connect(editor->socket.get(), &QWebSocket::disconnected, [&] { ended = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 5000));
  notify(1.0, 1);
  QTest::qWait(50);
  EXPECT_TRUE(editor->messages.empty());
  EXPECT_EQ(console.lines().size(), 1);
}

TEST_F(BeltBridgeTest, ListensOnTheLoopbackInterfaceOnly) {
  const QList<QHostAddress> bound = bridge->boundAddresses();
  ASSERT_FALSE(bound.isEmpty());
  EXPECT_TRUE(bound.contains(QHostAddress(QHostAddress::LocalHost)));
  for (const QHostAddress& address : bound) {
    EXPECT_TRUE(address.isLoopback()) << address.toString().toStdString();
  }
  // As the system lists its listening sockets: every one on this port is a loopback one.
  int listening = 0;
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    QFile file(QString::fromLatin1(table));
    if (!file.open(QIODevice::ReadOnly)) continue;
    for (const QByteArray& row : file.readAll().split('\n')) {
      const QList<QByteArray> columns = row.simplified().split(' ');
      if (columns.size() < 4 || columns[3] != "0A") continue;  // LISTEN
      const QList<QByteArray> local = columns[1].split(':');
      if (local.size() != 2 || local[1].toUInt(nullptr, 16) != port) continue;
      ++listening;
      EXPECT_TRUE(local[0] == "0100007F" || local[0] == "00000000000000000000000001000000")
          << table << " " << local[0].toStdString();
    }
  }
  EXPECT_EQ(listening, bound.size());
  // From any other address of this computer, nobody answers.
  for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
    if (address.isLoopback() || address.protocol() != QAbstractSocket::IPv4Protocol) continue;
    QTcpSocket socket;
    socket.connectToHost(address, port);
    EXPECT_FALSE(socket.waitForConnected(1000)) << address.toString().toStdString();
  }
}

TEST_F(BeltBridgeTest, APortTakenByAnotherProgramIsNamedAndNothingElseChanges) {
  QTcpServer other;
  ASSERT_TRUE(other.listen(QHostAddress::LocalHost));
  BeltBridge second(console, activity);
  EXPECT_FALSE(second.start(other.serverPort(), OriginList()));
  EXPECT_FALSE(second.isServing());
  EXPECT_EQ(second.problem(),
            QStringLiteral("port %1 is in use by another program").arg(other.serverPort()));
  EXPECT_EQ(console.last(),
            QStringLiteral("Scratch 3: port %1 is in use by another program; the bridge is off")
                .arg(other.serverPort()));
  EXPECT_EQ(get(port, "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n").status, 200)
      << "the first bridge serves on";
}

TEST_F(BeltBridgeTest, WithoutTheIpv6LoopbackItServesOnTheIpv4One) {
  QTcpServer ipv6;
  if (!ipv6.listen(QHostAddress::LocalHostIPv6)) GTEST_SKIP() << "no ::1 on this system";
  const std::uint16_t taken = ipv6.serverPort();
  BeltBridge second(console, activity);
  ASSERT_TRUE(second.start(taken, OriginList::parse(kTurboWarp)));
  EXPECT_EQ(second.boundAddresses(), QList<QHostAddress>{QHostAddress(QHostAddress::LocalHost)});
  EXPECT_EQ(console.lines().join('\n').toStdString(),
            QStringLiteral("Scratch 3: [::1]:%1 is in use by another program; serving on "
                           "127.0.0.1 only\nScratch 3: serving %2")
                .arg(taken)
                .arg(BeltBridge::extensionAddress(taken))
                .toStdString());
  EXPECT_EQ(get(taken, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").status, 200);
}

TEST_F(BeltBridgeTest, AnEditorThatSaysTooMuchIsClosed) {
  auto editor = openEditor();
  ASSERT_TRUE(connected(*editor));
  console.clear();
  editor->socket->sendTextMessage(QString(BeltBridge::kMaxIncomingBytes * 2, QLatin1Char('a')));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bridge->editorCount() == 0; }, 5000));
  EXPECT_EQ(console.lines(),
            QStringList{QStringLiteral("Scratch 3: an editor went away, 0 in all")});
}

TEST_F(BeltBridgeTest, MalformedOverLongAndSlowRequestsAreRefused) {
  bridge->stop(false);
  bridge->setRequestTimeoutMs(300);
  ASSERT_TRUE(bridge->start(port, OriginList::parse(kTurboWarp)));
  const QByteArray host = "Host: localhost\r\n";
  const struct {
    const char* what;
    QList<QByteArray> pieces;
    int status;
  } cases[] = {
      {"TLS", {QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11)}, 400},
      {"Scratch 1.4", {QByteArray("\x00\x00\x00\x0dsensor-update", 17)}, 400},
      {"SSH", {"SSH-2.0-OpenSSH_9.2\r\n"}, 400},
      {"a bare line feed", {"GET / HTTP/1.1\n\n"}, 400},
      {"an endless field", {"GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'a')}, 431},
      {"too many fields",
       {"GET / HTTP/1.1\r\n" + QByteArray("X: 1\r\n").repeated(70) + "\r\n"},
       400},
      {"a head that never ends", {"GET / HTTP/1.1\r\n" + host}, 408},
      {"a head one byte at a time", {"G", "E", "T", " ", "/"}, 408},
      {"a wrong host", {"GET / HTTP/1.1\r\nHost: evil.example\r\n\r\n"}, 403},
      {"another path", {"GET /../Darev.ini HTTP/1.1\r\n" + host + "\r\n"}, 404},
      {"a post", {"POST / HTTP/1.1\r\n" + host + "Content-Length: 0\r\n\r\n"}, 405},
      {"the belt as a page", {"GET /belt HTTP/1.1\r\n" + host + "\r\n"}, 426},
  };
  LoopLatency latency;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QElapsedTimer clock;
    clock.start();
    const auto answer = exchange(port, c.pieces, 5000, 40);
    EXPECT_EQ(answer.status, c.status) << answer.raw.left(200).toStdString();
    EXPECT_TRUE(answer.closed) << "the connection is closed after the answer";
    EXPECT_LT(clock.elapsed(), 3000);
  }
  EXPECT_LT(latency.worstMs(), 100);
  EXPECT_EQ(get(port, "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n").status, 200);
}

TEST_F(BeltBridgeTest, OnlyAFewRequestsWaitAndOnlyAFewEditorsConnect) {
  std::vector<std::unique_ptr<QTcpSocket>> idle;
  for (int i = 0; i < BeltBridge::kMaxRequests; ++i) {
    idle.push_back(std::make_unique<QTcpSocket>());
    idle.back()->connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(idle.back()->waitForConnected(2000));
  }
  QTest::qWait(100);
  const auto turnedAway = get(port, "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n");
  EXPECT_EQ(turnedAway.status, 0) << "no answer while every place waits for a request";
  EXPECT_TRUE(turnedAway.closed);
  idle.clear();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return get(port, "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n").status == 200; }, 5000));

  std::vector<std::unique_ptr<Editor>> editors;
  for (int i = 0; i < BeltBridge::kMaxEditors; ++i) {
    editors.push_back(openEditor());
    ASSERT_TRUE(connected(*editors.back(), i + 1));
  }
  console.clear();
  const auto fifth = get(port, upgradeRequest(port, "https://turbowarp.org"));
  EXPECT_EQ(fifth.status, 503);
  EXPECT_EQ(console.lines(),
            QStringList{QStringLiteral("Scratch 3: refused another editor: 4 are connected")});

  // One goes away: the bridge notices, and there is room again.
  console.clear();
  editors.front()->socket->abort();
  ASSERT_TRUE(QTest::qWaitFor([&] { return bridge->editorCount() == 3; }, 5000));
  EXPECT_EQ(console.lines(),
            QStringList{QStringLiteral("Scratch 3: an editor went away, 3 in all")});
  editors.push_back(openEditor());
  EXPECT_TRUE(connected(*editors.back(), 4));
}

// A raw client that completes the handshake and then never reads; its receive buffer is small,
// so the system's buffers fill quickly.
class DeafEditor {
 public:
  explicit DeafEditor(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const QByteArray request = upgradeRequest(port, "https://turbowarp.org");
    if (connected_) connected_ = ::send(fd_, request.constData(), request.size(), 0) > 0;
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
  }
  ~DeafEditor() { ::close(fd_); }
  bool connected() const { return connected_; }
  // Reads what is waiting now; the system then lets more through.
  void listen() {
    const int large = 1 << 20;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &large, sizeof large);
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      received.append(buffer, n);
    }
  }
  QByteArray received;

 private:
  int fd_ = -1;
  bool connected_ = false;
};

TEST_F(BeltBridgeTest, AnEditorThatStopsReadingCostsOldMessagesNotTheLoop) {
  DeafEditor deaf(port);
  ASSERT_TRUE(deaf.connected());
  ASSERT_TRUE(QTest::qWaitFor([&] { return bridge->editorCount() == 1; }, 5000));
  console.clear();

  // Ten times the wire's flood: 5 notifications a millisecond, for 3 s.
  LoopLatency latency;
  int sent = 0;
  qint64 mostUnsent = 0;
  QTimer flood;
  QObject::connect(&flood, &QTimer::timeout, [&] {
    for (int i = 0; i < 5; ++i) {
      ++sent;
      notify(sent * 0.1, sent % 1000);
    }
    mostUnsent = std::max(mostUnsent, bridge->unsentBytes());
  });
  flood.setTimerType(Qt::PreciseTimer);
  flood.start(1);
  QEventLoop loop;
  QTimer::singleShot(3000, &loop, &QEventLoop::quit);
  loop.exec();
  flood.stop();
  EXPECT_LT(latency.worstMs(), 100);
  EXPECT_GT(bridge->droppedMessages(), 0u) << sent << " offered";
  EXPECT_LE(mostUnsent, BeltBridge::kMaxUnsentBytes + qint64(BeltMessage::kCapacity))
      << "what waits in the socket stays bounded";

  // It reads again: what it gets ends with the newest messages, one after the other.
  std::vector<std::string> frames;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        deaf.listen();
        frames = bridgetest::textFrames(deaf.received);
        return !frames.empty() && QJsonDocument::fromJson(QByteArray::fromStdString(frames.back()))
                                          .object()
                                          .value("n")
                                          .toInt() == sent;
      },
      10000));
  std::vector<int> numbers;
  for (const std::string& frame : frames) {
    const QJsonObject m = QJsonDocument::fromJson(QByteArray::fromStdString(frame)).object();
    ASSERT_TRUE(m.contains("force")) << frame;
    numbers.push_back(m.value("n").toInt());
  }
  EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
  ASSERT_GE(numbers.size(), std::size_t(BeltBridge::kQueueLength));
  for (std::size_t i = numbers.size() - BeltBridge::kQueueLength; i < numbers.size(); ++i) {
    EXPECT_EQ(numbers[i], sent - int(numbers.size() - 1 - i)) << "the queue kept the newest";
  }
  // One line for each burst of drops, once the editor caught up (the system may have taken a
  // little now and then meanwhile), and together they tell every message lost.
  const QStringList dropLines = console.lines().filter(QStringLiteral("dropped"));
  ASSERT_GE(dropLines.size(), 1);
  EXPECT_LE(dropLines.size(), 10) << console.lines().join('\n').toStdString();
  std::uint64_t told = 0;
  for (const QString& line : dropLines) {
    ASSERT_TRUE(line.startsWith(QStringLiteral("Scratch 3: ")) &&
                line.endsWith(QStringLiteral(" messages dropped, an editor not reading")))
        << line.toStdString();
    told += line.section(QLatin1Char(' '), 2, 2).toULongLong();
  }
  EXPECT_EQ(told, bridge->droppedMessages());
  // Offered, less those lost, less the greeting: all arrived.
  EXPECT_EQ(numbers.size(), std::size_t(sent) - bridge->droppedMessages() + 1);
  std::cout << "[ measured ] " << sent << " messages offered, " << bridge->droppedMessages()
            << " dropped, at most " << mostUnsent << " bytes waiting, event loop "
            << latency.worstMs() << " ms at worst" << std::endl;
}

TEST_F(BeltBridgeTest, StoppingEndsTheEditorsAndFreesThePort) {
  auto editor = openEditor();
  ASSERT_TRUE(connected(*editor));
  bool ended = false;
  QObject::connect(editor->socket.get(), &QWebSocket::disconnected, [&] { ended = true; });
  console.clear();
  bridge->stop();
  EXPECT_EQ(console.lines(), QStringList{QStringLiteral("Scratch 3: stopped")});
  EXPECT_FALSE(bridge->isServing());
  EXPECT_EQ(bridge->editorCount(), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ended; }, 5000));
  notify(1.0, 1);  // nobody to tell
  ASSERT_TRUE(bridge->start(port, OriginList::parse(kTurboWarp)));
  EXPECT_EQ(bridge->port(), port);
  auto again = openEditor();
  EXPECT_TRUE(connected(*again));
}

}  // namespace
}  // namespace kelvaro
