#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "bridge/BeltMessage.h"
#include "bridge/BridgeRoutes.h"
#include "bridge/OriginList.h"
#include "monitor/MeasurementConsumer.h"

class QTcpServer;
class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

namespace kelvaro {

class ActivityMonitor;
class ConsoleLog;
class MonitorCore;

// The Scratch 3 bridge: a small server on this computer's loopback interface (127.0.0.1 and, where
// the system has it, ::1; never another address) that serves the extension at /kelvaro-belt.js,
// a short page at /, and at /belt a WebSocket that carries one BeltMessage per decoded
// notification to every editor connected, and a belt's state when it changes. Every message is
// about one belt and says which (its slot and name, BeltLabel): each belt has its own values,
// message numbers and breathing phase; an editor that connects gets every belt's state at once.
//
// HTTP is read here, on a QTcpServer of the bridge's own, with HttpRequestHead: without taking
// the bytes from the socket (they are only peeked), so that an upgrade from an allowed origin is
// handed whole to QWebSocketServer::handleConnection, which answers the handshake. Every other
// request gets its answer and the connection is closed. A request must be complete within
// requestTimeoutMs and HttpRequestHead::kMaxBytes; at most kMaxRequests wait at once.
//
// Never holds up the road, as the Scratch 1.4 link: each editor has a queue of kQueueLength
// messages that fills while it does not read (more than kMaxUnsentBytes that the system did not
// take wait in its socket: every message is handed to the system at once); a
// full queue loses its oldest message, so an editor that reads again gets the newest values, and
// the console says how many were lost once it has caught up (or gone). At most kMaxEditors
// editors at once. Registered with the core just before the Scratch 1.4 link.
class BeltBridge final : public QObject, public MeasurementConsumer {
  Q_OBJECT

 public:
  static constexpr std::uint16_t kDefaultPort = 8000;
  static constexpr int kMaxEditors = 4;
  static constexpr int kMaxRequests = 16;
  static constexpr int kRequestTimeoutMs = 5000;
  static constexpr int kQueueLength = 32;
  static constexpr qint64 kMaxUnsentBytes = 4096;
  static constexpr int kSystemSendBuffer = 8192;
  // What an editor may send: it has nothing to say but a close or a ping.
  static constexpr int kMaxIncomingBytes = 1024;
  // Belts at once, the first included (the core's).
  static constexpr int kBelts = 4;

  // The console gets the bridge's lines; each belt's activity computation, the core's, gives its
  // "belt activity". Both must outlive the bridge.
  BeltBridge(ConsoleLog& console, const MonitorCore& core, QObject* parent = nullptr);
  // A bridge that knows the first belt's activity computation only: a further belt's activity
  // is 0.
  BeltBridge(ConsoleLog& console, const ActivityMonitor& activity, QObject* parent = nullptr);
  // Stops serving without console lines.
  ~BeltBridge() override;

  // Serves on `port` (0: a free one, which port() then tells), letting in the pages of
  // `origins`. A port another program holds: false, and a console line that names it.
  bool start(std::uint16_t port, const OriginList& origins);
  // Editors disconnected, requests dropped, nothing listening; with loud, says so.
  void stop(bool loud = true);
  bool isServing() const { return !servers_.empty(); }
  // Why the last start failed, in words ("port 8000 is in use by another program"); empty
  // after a start that worked.
  const QString& problem() const { return problem_; }
  std::uint16_t port() const { return port_; }
  // The addresses the listening sockets are bound to, as the system has them.
  QList<QHostAddress> boundAddresses() const;
  int editorCount() const { return static_cast<int>(editors_.size()); }
  // The extension's address, http://localhost:PORT/kelvaro-belt.js.
  static QString extensionAddress(std::uint16_t port);
  // The extension as served: its WebSocket address carries the port served.
  const QByteArray& script() const { return script_; }
  // Bytes handed to the editors' connections that the system has not taken yet, all together.
  qint64 unsentBytes() const;
  // Messages lost by every editor since the bridge started.
  std::uint64_t droppedMessages() const { return droppedTotal_; }
  void setRequestTimeoutMs(int ms) { requestTimeoutMs_ = ms; }

  void notificationDecoded(const DecodedNotification& notification) override;
  void linkChanged(const LinkChange& change) override;
  void beltNamed(int belt, const QString& name) override;

 signals:
  void editorsChanged(int count);

 private:
  class Request;
  struct Editor {
    QWebSocket* socket = nullptr;
    QPointer<QTcpSocket> connection;  // the socket under it, which the editor does not own
    QString origin;
    std::array<BeltMessage, kQueueLength> queue;
    int first = 0;
    int waiting = 0;
    std::uint64_t dropped = 0;
    bool draining = false;
  };

  bool listenOn(const QHostAddress& address, std::uint16_t port, QString* error);
  void accept(QTcpServer& server);
  void readRequest(Request& request);
  void answer(Request& request);
  void respond(Request& request, BridgeAnswer answer, bool headOnly = false);
  void handOver(Request& request);
  void dropRequest(Request* request);
  void takeEditors();
  void editorGone(QWebSocket* socket);
  void offer(Editor& editor, const BeltMessage& message);
  void drain(Editor& editor);
  void send(Editor& editor, const BeltMessage& message);
  void reportDrops(Editor& editor);
  void removeEditor(std::size_t index, bool loud);
  // What the bridge knows of one belt.
  struct Belt {
    BeltReading reading;
    BeltLabel label;
    bool present = false;  // the first belt always is; a further one from its first word
    bool told = false;     // its name came through beltNamed
    bool inhaledSinceConnect = false;
  };

  Editor* editorOf(QWebSocket* socket);
  const ActivityMonitor* activityOf(int belt) const;
  // The belt's label for `name`; false when it was that already.
  bool label(int belt, const QString& name);
  void sendState(int belt);
  void line(const QString& text);

  ConsoleLog& console_;
  const MonitorCore* core_ = nullptr;
  const ActivityMonitor* activity_ = nullptr;
  QByteArray source_;  // the extension as built in
  QByteArray script_;  // ... as served
  OriginList origins_;
  std::uint16_t port_ = 0;
  int requestTimeoutMs_ = kRequestTimeoutMs;
  std::vector<std::unique_ptr<QTcpServer>> servers_;
  QWebSocketServer* upgrades_ = nullptr;
  std::vector<Request*> requests_;
  // Connections handed to the WebSocket server whose handshake has not ended yet.
  std::vector<QPointer<QTcpSocket>> handedOver_;
  std::vector<std::unique_ptr<Editor>> editors_;

  std::array<Belt, kBelts> belts_;
  BeltMessage message_;
  QString text_;
  std::uint64_t droppedTotal_ = 0;
  QString problem_;
};

}  // namespace kelvaro
