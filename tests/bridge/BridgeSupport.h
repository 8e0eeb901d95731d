#pragma once

// Clients of the bridge for its tests: a request and its whole answer over a plain TCP
// connection, the answer taken apart, and the frames a WebSocket server sends read from raw bytes.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QTcpSocket>
#include <QTest>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvaro::bridgetest {

struct Answer {
  int status = 0;                       // 0: no status line came
  QMap<QByteArray, QByteArray> fields;  // names in lower case
  QByteArray body;
  bool closed = false;  // the bridge closed the connection
  QByteArray raw;
};

inline Answer parseAnswer(const QByteArray& raw) {
  Answer a;
  a.raw = raw;
  const qsizetype end = raw.indexOf("\r\n\r\n");
  if (end < 0 || !raw.startsWith("HTTP/1.1 ")) return a;
  const QList<QByteArray> lines = raw.left(end).split('\n');
  a.status = lines.front().mid(9, 3).toInt();
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArray line = lines[i].trimmed();
    const qsizetype colon = line.indexOf(':');
    if (colon > 0) a.fields.insert(line.left(colon).toLower(), line.mid(colon + 1).trimmed());
  }
  a.body = raw.mid(end + 4);
  return a;
}

// Sends `request` (in pieces `pauseMs` apart when given several) and takes what comes back until
// the bridge closes the connection or `waitMs` have passed.
inline Answer exchange(std::uint16_t port, const QList<QByteArray>& pieces, int waitMs = 5000,
                       int pauseMs = 0, const QHostAddress& to = QHostAddress::LocalHost) {
  QTcpSocket socket;
  socket.connectToHost(to, port);
  if (!socket.waitForConnected(2000)) return {};
  QByteArray received;
  bool closed = false;
  QObject::connect(&socket, &QTcpSocket::readyRead, [&] { received += socket.readAll(); });
  QObject::connect(&socket, &QTcpSocket::disconnected, [&] { closed = true; });
  for (const QByteArray& piece : pieces) {
    socket.write(piece);
    if (pauseMs > 0) QTest::qWait(pauseMs);
  }
  (void)QTest::qWaitFor([&] { return closed; }, waitMs);
  received += socket.readAll();
  Answer a = parseAnswer(received);
  a.closed = closed;
  return a;
}

inline Answer get(std::uint16_t port, const QByteArray& request) {
  return exchange(port, {request});
}

inline QByteArray upgradeRequest(std::uint16_t port, const QByteArray& origin) {
  QByteArray r = "GET /belt HTTP/1.1\r\nHost: localhost:" + QByteArray::number(port) +
                 "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
  if (!origin.isEmpty()) r += "Origin: " + origin + "\r\n";
  return r + "\r\n";
}

// The text frames in what a WebSocket server sent after its handshake's answer; `rest` says how
// many bytes of an unfinished frame are left over.
inline std::vector<std::string> textFrames(const QByteArray& bytes, qsizetype* rest = nullptr) {
  std::vector<std::string> frames;
  qsizetype at = bytes.indexOf("\r\n\r\n");
  at = at < 0 ? bytes.size() : at + 4;
  while (bytes.size() - at >= 2) {
    const auto b0 = static_cast<std::uint8_t>(bytes[at]);
    const auto b1 = static_cast<std::uint8_t>(bytes[at + 1]);
    qsizetype length = b1 & 0x7F;
    qsizetype header = 2;
    if (length == 126) {
      if (bytes.size() - at < 4) break;
      length = (qsizetype{static_cast<std::uint8_t>(bytes[at + 2])} << 8) |
               static_cast<std::uint8_t>(bytes[at + 3]);
      header = 4;
    } else if (length == 127) {
      break;  // never this long
    }
    if (bytes.size() - at < header + length) break;
    if ((b0 & 0x0F) == 0x1) frames.emplace_back(bytes.constData() + at + header, length);
    at += header + length;
  }
  if (rest) *rest = bytes.size() - at;
  return frames;
}

}  // namespace kelvaro::bridgetest
