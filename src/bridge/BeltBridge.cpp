#include "bridge/BeltBridge.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <QWebSocketServer>
#include <algorithm>

#include <sys/socket.h>

#include "activity/ActivityMonitor.h"
#include "base/ConsoleLog.h"
#include "bridge/HttpRequestHead.h"
#include "monitor/MonitorCore.h"

static void initBridgeResources() { Q_INIT_RESOURCE(bridge); }

namespace kelvaro {

static_assert(BeltBridge::kBelts == MonitorCore::kMaxBelts);

namespace {

std::u16string_view utf16(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

const QByteArray kBuiltInAddress = QByteArrayLiteral("ws://localhost:8000/belt");

QByteArray page(std::uint16_t port) {
  const QByteArray address = BeltBridge::extensionAddress(port).toLatin1();
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<title>KELVARO belt for Scratch 3</title></head><body>\n"
         "<h1>KELVARO belt for Scratch 3</h1>\n"
         "<p>Load <code>" +
         address +
         "</code> as a custom extension in TurboWarp. On the web, open <a "
         "href=\"https://turbowarp.org/editor?extension=" +
         address + "\">https://turbowarp.org/editor?extension=" + address +
         "</a>. In TurboWarp Desktop, press \"Add Extension\", choose \"Custom Extension\", "
         "paste the address under \"URL\" and tick \"Run extension without sandbox\".</p>\n"
         "<p>The blocks are under \"KELVARO belt\".</p>\n</body></html>\n";
}

}  // namespace

// A connection that is still sending its request, or being answered.
class BeltBridge::Request final : public QObject {
 public:
  Request(QTcpSocket* s, QObject* parent) : QObject(parent), socket(s) {
    deadline.setSingleShot(true);
  }
  QTcpSocket* socket;
  QTimer deadline;
  HttpRequestHead head;
  qint64 peeked = 0;
  bool answered = false;
};

BeltBridge::BeltBridge(ConsoleLog& console, const MonitorCore& core, QObject* parent)
    : BeltBridge(console, core.belt(0).activity, parent) {
  core_ = &core;
}

BeltBridge::BeltBridge(ConsoleLog& console, const ActivityMonitor& activity, QObject* parent)
    : QObject(parent), console_(console), activity_(&activity) {
  initBridgeResources();
  QFile file(QStringLiteral(":/bridge/kelvaro-belt.js"));
  if (file.open(QIODevice::ReadOnly)) source_ = file.readAll();
  text_.reserve(static_cast<qsizetype>(BeltMessage::kCapacity));
  belts_[0].present = true;
  belts_[0].label = BeltLabel(0, {});
}

BeltBridge::~BeltBridge() {
  blockSignals(true);
  stop(false);
}

QString BeltBridge::extensionAddress(std::uint16_t port) {
  return QStringLiteral("http://localhost:%1/kelvaro-belt.js").arg(port);
}

void BeltBridge::line(const QString& text) {
  console_.append(QStringLiteral("Scratch 3: ") + text);
}

bool BeltBridge::start(std::uint16_t port, const OriginList& origins) {
  stop(false);
  origins_ = origins;
  QString error;
  problem_.clear();
  if (!listenOn(QHostAddress(QHostAddress::LocalHost), port, &error)) {
    problem_ = error;
    line(error + QStringLiteral("; the bridge is off"));
    return false;
  }
  port_ = servers_.front()->serverPort();
  // Browsers try localhost on ::1 too; a system without IPv6 has no ::1 to listen on.
  if (!listenOn(QHostAddress(QHostAddress::LocalHostIPv6), port_, &error)) {
    line(QStringLiteral("%1; serving on 127.0.0.1 only").arg(error));
  }
  script_ = source_;
  script_.replace(kBuiltInAddress, QStringLiteral("ws://localhost:%1/belt").arg(port_).toLatin1());

  upgrades_ = new QWebSocketServer(QStringLiteral("KELVARO monitor"),
                                   QWebSocketServer::NonSecureMode, this);
  upgrades_->setMaxPendingConnections(kMaxEditors);
  upgrades_->setHandshakeTimeout(requestTimeoutMs_);
  // The origin was checked before the hand-over; the server checks it again all the same.
  connect(upgrades_, &QWebSocketServer::originAuthenticationRequired, this,
          [this](QWebSocketCorsAuthenticator* authenticator) {
            authenticator->setAllowed(origins_.allows(authenticator->origin().toLatin1()));
          });
  connect(upgrades_, &QWebSocketServer::newConnection, this, &BeltBridge::takeEditors);
  line(QStringLiteral("serving %1").arg(extensionAddress(port_)));
  return true;
}

bool BeltBridge::listenOn(const QHostAddress& address, std::uint16_t port, QString* error) {
  auto server = std::make_unique<QTcpServer>();
  if (!server->listen(address, port)) {
    const QString where = address.protocol() == QAbstractSocket::IPv6Protocol
                              ? QStringLiteral("[::1]:%1").arg(port)
                              : QStringLiteral("port %1").arg(port);
    switch (server->serverError()) {
      case QAbstractSocket::AddressInUseError:
        *error = QStringLiteral("%1 is in use by another program").arg(where);
        break;
      case QAbstractSocket::SocketAddressNotAvailableError:
      case QAbstractSocket::UnsupportedSocketOperationError:
        *error = QStringLiteral("no %1 on this system").arg(where);
        break;
      default:
        *error = QStringLiteral("cannot listen on %1 (%2)").arg(where, server->errorString());
        break;
    }
    return false;
  }
  QTcpServer& s = *server;
  connect(&s, &QTcpServer::newConnection, this, [this, &s] { accept(s); });
  servers_.push_back(std::move(server));
  return true;
}

void BeltBridge::stop(bool loud) {
  const bool wasServing = isServing();
  while (!editors_.empty()) removeEditor(editors_.size() - 1, false);
  while (!requests_.empty()) dropRequest(requests_.back());
  for (const QPointer<QTcpSocket>& socket : handedOver_) {
    if (socket) socket->abort();
  }
  handedOver_.clear();
  delete upgrades_;
  upgrades_ = nullptr;
  servers_.clear();
  port_ = 0;
  if (wasServing) {
    emit editorsChanged(0);
    if (loud) line(QStringLiteral("stopped"));
  }
}

QList<QHostAddress> BeltBridge::boundAddresses() const {
  QList<QHostAddress> addresses;
  for (const auto& server : servers_) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getsockname(static_cast<int>(server->socketDescriptor()),
                      reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      addresses << QHostAddress(reinterpret_cast<const sockaddr*>(&address));
    }
  }
  return addresses;
}

qint64 BeltBridge::unsentBytes() const {
  qint64 total = 0;
  for (const auto& editor : editors_) total += editor->socket->bytesToWrite();
  return total;
}

void BeltBridge::accept(QTcpServer& server) {
  while (QTcpSocket* socket = server.nextPendingConnection()) {
    if (static_cast<int>(requests_.size()) >= kMaxRequests) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    // Qt reads no further ahead than a head may be long.
    socket->setReadBufferSize(static_cast<qint64>(HttpRequestHead::kMaxBytes) + 1);
    auto* request = new Request(socket, this);
    requests_.push_back(request);
    connect(&request->deadline, &QTimer::timeout, this, [this, request] {
      if (request->answered) {
        dropRequest(request);
      } else {
        respond(*request, BridgeAnswer::BadRequest);
      }
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, request] { readRequest(*request); });
    connect(socket, &QTcpSocket::disconnected, this, [this, request] { dropRequest(request); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, request](QAbstractSocket::SocketError e) {
              if (e != QAbstractSocket::RemoteHostClosedError || !request->answered)
                dropRequest(request);
            });
    request->deadline.start(requestTimeoutMs_);
    readRequest(*request);
  }
}

void BeltBridge::readRequest(Request& request) {
  if (request.answered) return;
  const qint64 available = std::min<qint64>(request.socket->bytesAvailable(),
                                            static_cast<qint64>(HttpRequestHead::kMaxBytes) + 1);
  if (available > request.peeked) {
    const QByteArray bytes = request.socket->peek(available);
    request.head.feed(bytes.constData() + request.peeked,
                      static_cast<std::size_t>(bytes.size() - request.peeked));
    request.peeked = bytes.size();
  }
  switch (request.head.state()) {
    case HttpRequestHead::State::Incomplete:
      return;
    case HttpRequestHead::State::Complete:
      answer(request);
      return;
    case HttpRequestHead::State::Malformed:
    case HttpRequestHead::State::TooLarge:
      respond(request, BridgeAnswer::BadRequest);
      return;
  }
}

void BeltBridge::answer(Request& request) {
  const BridgeRoute route = routeRequest(request.head, origins_, port_);
  if (route.answer == BridgeAnswer::OriginRefused) {
    const QByteArray& origin = request.head.origin();
    line(origin.isEmpty() ? QStringLiteral("refused a WebSocket from no page (no Origin)")
                          : QStringLiteral("refused a WebSocket from %1 (not among the Origins "
                                           "of [Scratch3])")
                                .arg(QString::fromLatin1(origin.left(200))));
  } else if (route.answer == BridgeAnswer::Upgrade) {
    handedOver_.erase(std::remove(handedOver_.begin(), handedOver_.end(), nullptr),
                      handedOver_.end());
    const int open = editorCount() + static_cast<int>(handedOver_.size());
    if (open < kMaxEditors) {
      handOver(request);
      return;
    }
    line(QStringLiteral("refused another editor: %1 are connected").arg(kMaxEditors));
  }
  respond(request, route.answer, route.headOnly);
}

void BeltBridge::respond(Request& request, BridgeAnswer answer, bool headOnly) {
  if (request.answered) return;
  request.answered = true;
  int code = statusCode(answer);
  QByteArray reason = statusText(answer);
  QByteArray type = "text/plain; charset=utf-8";
  QByteArray body;
  QByteArray fields;
  switch (answer) {
    case BridgeAnswer::Script:
      type = "text/javascript; charset=utf-8";
      body = script_;
      // Chrome asks a public page's fetch of a loopback address for this.
      fields =
          "Access-Control-Allow-Origin: *\r\nAccess-Control-Allow-Private-Network: true\r\n"
          "Cache-Control: no-cache\r\n";
      break;
    case BridgeAnswer::Page:
      type = "text/html; charset=utf-8";
      body = page(port_);
      fields = "Cache-Control: no-cache\r\n";
      break;
    case BridgeAnswer::Upgrade:
      // Only when every editor's place is taken.
      code = 503;
      reason = "Service Unavailable";
      body = "503 Service Unavailable: enough editors are connected\n";
      break;
    case BridgeAnswer::NotAllowed:
      fields = "Allow: GET, HEAD\r\n";
      break;
    case BridgeAnswer::UpgradeRequired:
      fields = "Upgrade: websocket\r\nSec-WebSocket-Version: 13\r\n";
      break;
    default:
      break;
  }
  if (answer == BridgeAnswer::BadRequest) {
    if (request.head.state() == HttpRequestHead::State::TooLarge) {
      code = 431;
      reason = "Request Header Fields Too Large";
    } else if (request.head.state() == HttpRequestHead::State::Incomplete) {
      code = 408;
      reason = "Request Timeout";
    }
  }
  if (body.isEmpty()) body = QByteArray::number(code) + ' ' + reason + '\n';
  QByteArray response = "HTTP/1.1 " + QByteArray::number(code) + ' ' + reason + "\r\n" +
                        "Content-Type: " + type +
                        "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + fields +
                        "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";
  if (!headOnly) response += body;
  request.socket->write(response);
  // The answer goes out, then the connection closes; a client that does not take it is cut off.
  request.socket->disconnectFromHost();
  if (request.socket->state() != QAbstractSocket::UnconnectedState) {
    request.deadline.start(requestTimeoutMs_);
  }
}

void BeltBridge::handOver(Request& request) {
  QTcpSocket* socket = request.socket;
  request.deadline.stop();
  socket->disconnect(this);
  requests_.erase(std::find(requests_.begin(), requests_.end(), &request));
  request.deleteLater();
  handedOver_.emplace_back(socket);
  // The system's own buffer for an editor stays small too: left to grow, it would hold minutes of
  // old values for an editor that stopped reading.
  socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSystemSendBuffer);
  // Small messages, each at once.
  socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  // The head is still unread in the socket: the WebSocket server reads it as its handshake.
  upgrades_->handleConnection(socket);
}

void BeltBridge::dropRequest(Request* request) {
  const auto at = std::find(requests_.begin(), requests_.end(), request);
  if (at == requests_.end()) return;
  requests_.erase(at);
  request->deadline.stop();
  QTcpSocket* socket = request->socket;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
  request->deleteLater();
}

void BeltBridge::takeEditors() {
  while (QWebSocket* socket = upgrades_->nextPendingConnection()) {
    auto editor = std::make_unique<Editor>();
    editor->socket = socket;
    editor->origin = socket->origin();
    // The connection under it: the one handed over from the same address and port.
    handedOver_.erase(std::remove_if(handedOver_.begin(), handedOver_.end(),
                                     [&](const QPointer<QTcpSocket>& tcp) {
                                       if (!tcp) return true;
                                       if (tcp->peerPort() != socket->peerPort() ||
                                           tcp->peerAddress() != socket->peerAddress()) {
                                         return false;
                                       }
                                       editor->connection = tcp;
                                       return true;
                                     }),
                      handedOver_.end());
    socket->setParent(this);
    socket->setMaxAllowedIncomingFrameSize(kMaxIncomingBytes);
    socket->setMaxAllowedIncomingMessageSize(kMaxIncomingBytes);
    connect(socket, &QWebSocket::disconnected, this, [this, socket] { editorGone(socket); });
    connect(socket, &QWebSocket::bytesWritten, this, [this, socket] {
      if (Editor* e = editorOf(socket)) drain(*e);
    });
    editors_.push_back(std::move(editor));
    line(QStringLiteral("an editor connected (%1), %2 in all")
             .arg(editors_.back()->origin)
             .arg(editors_.size()));
    emit editorsChanged(editorCount());
    // What every belt is doing now, before the next notification says it.
    for (std::size_t b = 0; b < belts_.size(); ++b) {
      if (!belts_[b].present) continue;
      message_.build(belts_[b].reading, belts_[b].label);
      offer(*editors_.back(), message_);
    }
  }
}

BeltBridge::Editor* BeltBridge::editorOf(QWebSocket* socket) {
  for (const auto& editor : editors_) {
    if (editor->socket == socket) return editor.get();
  }
  return nullptr;
}

void BeltBridge::editorGone(QWebSocket* socket) {
  for (std::size_t i = 0; i < editors_.size(); ++i) {
    if (editors_[i]->socket == socket) {
      removeEditor(i, true);
      line(QStringLiteral("an editor went away, %1 in all").arg(editors_.size()));
      emit editorsChanged(editorCount());
      return;
    }
  }
}

void BeltBridge::removeEditor(std::size_t index, bool loud) {
  Editor& editor = *editors_[index];
  if (loud) reportDrops(editor);
  editor.socket->disconnect(this);
  editor.socket->abort();
  editor.socket->deleteLater();
  if (editor.connection) editor.connection->deleteLater();
  editors_.erase(editors_.begin() + static_cast<std::ptrdiff_t>(index));
}

const ActivityMonitor* BeltBridge::activityOf(int belt) const {
  if (core_ != nullptr) return core_->hasBelt(belt) ? &core_->belt(belt).activity : nullptr;
  return belt == 0 ? activity_ : nullptr;
}

bool BeltBridge::label(int belt, const QString& name) {
  BeltLabel& label = belts_[static_cast<std::size_t>(belt)].label;
  const BeltLabel named(belt, utf16(name));
  if (named.json() == label.json()) return false;
  label = named;
  return true;
}

void BeltBridge::notificationDecoded(const DecodedNotification& n) {
  if (n.belt < 0 || n.belt >= kBelts) return;
  Belt& belt = belts_[static_cast<std::size_t>(n.belt)];
  // A further belt the core did not name: its number is its name.
  if (!belt.present) {
    belt.present = true;
    label(n.belt, QString::number(n.belt + 1));
  }
  BeltReading& reading = belt.reading;
  ++reading.sequence;
  reading.force1 = n.state.force1Grams;
  reading.force2 = n.state.force2Grams;
  reading.accelX = n.state.accelX;
  reading.accelY = n.state.accelY;
  reading.accelZ = n.state.accelZ;
  reading.breathsPerMinute = n.breath.ratePerMinute;
  if (n.breath.inhaling) belt.inhaledSinceConnect = true;
  reading.phase = n.breath.inhaling          ? BreathPhase::In
                  : belt.inhaledSinceConnect ? BreathPhase::Out
                                             : BreathPhase::Unknown;
  reading.apnea = n.breath.apnea;
  const ActivityMonitor* activity = activityOf(n.belt);
  reading.activity = activity != nullptr ? activity->forceActivity() : 0.0;
  reading.connected = true;
  if (editors_.empty()) return;
  message_.build(reading, belt.label);
  for (const auto& editor : editors_) offer(*editor, message_);
}

void BeltBridge::linkChanged(const LinkChange& change) {
  if (change.belt < 0 || change.belt >= kBelts) return;
  Belt& belt = belts_[static_cast<std::size_t>(change.belt)];
  const bool connected = change.event == LinkEvent::Connected || change.event == LinkEvent::Back;
  if (change.event == LinkEvent::Connected || change.event == LinkEvent::Disconnected) {
    belt.inhaledSinceConnect = false;
    belt.reading.phase = BreathPhase::Unknown;
  }
  bool changed = connected != belt.reading.connected;
  if (change.event == LinkEvent::Connected) {
    if (!belt.present) {
      // A further belt in a slot of its own: its messages count from 1.
      belt.reading = BeltReading();
      belt.present = true;
      changed = true;
    }
    // Its name by default, until the core tells another.
    if (!belt.told && !change.deviceId.isEmpty() && label(change.belt, change.deviceId.right(4))) {
      changed = true;
    }
  }
  belt.reading.connected = connected;
  if (changed) sendState(change.belt);
  if (change.event == LinkEvent::Disconnected && change.belt > 0) {
    // Its slot is free: the next belt in it is named afresh.
    belt.present = false;
    belt.told = false;
  }
}

void BeltBridge::beltNamed(int belt, const QString& name) {
  if (belt < 0 || belt >= kBelts) return;
  Belt& b = belts_[static_cast<std::size_t>(belt)];
  b.told = true;
  // A further belt is named before it is connected: its connection says the name.
  if (label(belt, name) && b.present) sendState(belt);
}

void BeltBridge::sendState(int belt) {
  if (editors_.empty()) return;
  const Belt& b = belts_[static_cast<std::size_t>(belt)];
  message_.build(b.reading, b.label);
  for (const auto& editor : editors_) offer(*editor, message_);
}

void BeltBridge::offer(Editor& editor, const BeltMessage& message) {
  if (editor.waiting == 0 && editor.socket->bytesToWrite() <= kMaxUnsentBytes) {
    reportDrops(editor);
    send(editor, message);
    return;
  }
  if (editor.waiting == kQueueLength) {
    editor.first = (editor.first + 1) % kQueueLength;
    --editor.waiting;
    ++editor.dropped;
    ++droppedTotal_;
  }
  editor.queue[static_cast<std::size_t>((editor.first + editor.waiting) % kQueueLength)] = message;
  ++editor.waiting;
}

void BeltBridge::drain(Editor& editor) {
  // Sending may report bytes written from inside; that turn is this one.
  if (editor.draining) return;
  editor.draining = true;
  while (editor.waiting > 0 && editor.socket->bytesToWrite() <= kMaxUnsentBytes) {
    const auto slot = static_cast<std::size_t>(editor.first);
    editor.first = (editor.first + 1) % kQueueLength;
    --editor.waiting;
    send(editor, editor.queue[slot]);
  }
  editor.draining = false;
  if (editor.waiting == 0) reportDrops(editor);
}

void BeltBridge::send(Editor& editor, const BeltMessage& message) {
  text_.resize(static_cast<qsizetype>(message.size()));
  QChar* out = text_.data();
  for (std::size_t i = 0; i < message.size(); ++i) out[i] = QLatin1Char(message.data()[i]);
  editor.socket->sendTextMessage(text_);
  // Into the system at once: what it does not take is what the editor has not read, and a
  // burst of notifications within one turn of the loop is no reason to drop any.
  editor.socket->flush();
}

void BeltBridge::reportDrops(Editor& editor) {
  if (editor.dropped == 0) return;
  line(QStringLiteral("%1 messages dropped, an editor not reading").arg(editor.dropped));
  editor.dropped = 0;
}

}  // namespace kelvaro
