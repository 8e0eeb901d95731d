#include "scratch/ScratchClient.h"

#include <QHostInfo>
#include <QTcpSocket>
#include <algorithm>

#include "base/ConsoleLog.h"
#include "base/EventPump.h"
#include "base/TickSource.h"
#include "monitor/MonitorCore.h"

namespace kelvaro {

static_assert(ScratchClient::kBelts == MonitorCore::kMaxBelts);

namespace {

bool startsWithDigit(const QString& host) {
  return !host.isEmpty() && host.front() >= QLatin1Char('0') && host.front() <= QLatin1Char('9');
}

}  // namespace

ScratchClient::ScratchClient(ConsoleLog& console, const TickSource& ticks, EventPump& pump,
                             std::uint16_t port, QObject* parent)
    : QObject(parent), console_(console), ticks_(ticks), pump_(pump), port_(port) {
  giveUp_.setSingleShot(true);
  connect(&giveUp_, &QTimer::timeout, this, &ScratchClient::attemptFailed);
}

ScratchClient::~ScratchClient() {
  // Nobody listens any more.
  blockSignals(true);
  closeQuietly();
}

void ScratchClient::line(const QString& text) { console_.append(text); }

void ScratchClient::connectTo(const QString& host) {
  line(kWaitingLine);
  if (host != host_) {
    if (connected_) closeConnection(true);
    if (connecting_) cancelAttempt();
    host_ = host;
  }
  if (connected_) {
    line(kConnectedLine);
    return;
  }
  // The same host again while its attempt runs: that attempt's result answers both.
  if (connecting_) return;
  startAttempt();
}

void ScratchClient::startAttempt() {
  connecting_ = true;
  emit stateChanged();
  giveUp_.start(connectGiveUpMs_);
  if (host_.isEmpty()) {
    connectSocket(QHostAddress(QHostAddress::AnyIPv4));
  } else if (startsWithDigit(host_)) {
    QHostAddress address;
    if (address.setAddress(host_) && address.protocol() == QAbstractSocket::IPv4Protocol) {
      connectSocket(address);
    } else {
      attemptFailed();
    }
  } else {
    lookupId_ = QHostInfo::lookupHost(host_, this, [this](const QHostInfo& info) {
      hostLookedUp(info.lookupId(), info.addresses(), info.error() == QHostInfo::NoError);
    });
  }
}

void ScratchClient::hostLookedUp(int lookupId, const QList<QHostAddress>& addresses, bool found) {
  if (!connecting_ || lookupId != lookupId_) return;
  lookupId_ = -1;
  // Scratch listens on IPv4; a name's IPv6 addresses are passed over.
  const auto ipv4 = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
    return a.protocol() == QAbstractSocket::IPv4Protocol;
  });
  if (!found || ipv4 == addresses.end()) {
    attemptFailed();
    return;
  }
  connectSocket(*ipv4);
}

void ScratchClient::connectSocket(const QHostAddress& address) {
  socket_ = new QTcpSocket(this);
  connect(socket_, &QTcpSocket::connected, this, &ScratchClient::attemptSucceeded);
  connect(socket_, &QTcpSocket::readyRead, this, &ScratchClient::readIncoming);
  connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
    if (connecting_) {
      attemptFailed();
    } else if (connected_) {
      connectionEnded(
          error == QAbstractSocket::RemoteHostClosedError
              ? QStringLiteral("Scratch: connection closed by the peer")
              : QStringLiteral("Scratch: connection lost (%1)").arg(socket_->errorString()));
    }
  });
  connect(socket_, &QTcpSocket::disconnected, this, [this] {
    if (connected_) connectionEnded(QStringLiteral("Scratch: connection closed by the peer"));
  });
  socket_->connectToHost(address, port_);
}

void ScratchClient::attemptSucceeded() {
  if (!connecting_) return;
  giveUp_.stop();
  connecting_ = false;
  connected_ = true;
  dropped_ = 0;
  unread_.clear();
  // Frames are small and belong to the moment: send each at once.
  socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  line(kConnectedLine);
  emit stateChanged();
  // Anything that arrived with the connection.
  readIncoming();
}

void ScratchClient::attemptFailed() {
  if (!connecting_) return;
  cancelAttempt();
  line(kFailedLine);
}

void ScratchClient::cancelAttempt() {
  giveUp_.stop();
  if (lookupId_ != -1) QHostInfo::abortHostLookup(lookupId_);
  lookupId_ = -1;
  releaseSocket();
  connecting_ = false;
  emit stateChanged();
}

void ScratchClient::readIncoming() {
  if (!connected_ || socket_ == nullptr) return;
  const QByteArray bytes = socket_->readAll();
  const qsizetype room = kMaxUnreadBytes - unread_.size();
  if (room > 0) unread_.append(bytes.constData(), std::min<qsizetype>(room, bytes.size()));
}

void ScratchClient::connectionEnded(const QString& reason) {
  reportDrops();
  line(reason);
  connected_ = false;
  releaseSocket();
  emit stateChanged();
}

void ScratchClient::disconnectFromPeer() {
  if (connected_) {
    closeConnection(true);
  } else if (connecting_) {
    cancelAttempt();
  }
  line(kDisconnectedLine);
}

void ScratchClient::closeConnection(bool loud) {
  if (!connected_) return;
  if (loud) {
    reportDrops();
    line(QStringLiteral("*** TCP disconnect *********"));
  }
  connected_ = false;
  // What the system already took is still delivered after the close.
  socket_->flush();
  releaseSocket();
  emit stateChanged();
}

void ScratchClient::releaseSocket() {
  if (socket_ == nullptr) return;
  QTcpSocket* socket = socket_;
  socket_ = nullptr;
  socket->disconnect(this);
  socket->abort();
  // Its own signal may be what brought us here.
  socket->deleteLater();
  unread_.clear();
}

void ScratchClient::closeQuietly() {
  if (connecting_) {
    giveUp_.stop();
    if (lookupId_ != -1) QHostInfo::abortHostLookup(lookupId_);
    lookupId_ = -1;
    connecting_ = false;
    releaseSocket();
  }
  closeConnection(false);
}

qint64 ScratchClient::unsentBytes() const {
  return socket_ != nullptr ? socket_->bytesToWrite() : 0;
}

void ScratchClient::reportDrops() {
  if (dropped_ == 0) return;
  line(QStringLiteral("Scratch: %1 frames dropped, peer not reading").arg(dropped_));
  dropped_ = 0;
}

void ScratchClient::sendSensorUpdate(int accelX, int accelY, int accelZ, double force1,
                                     double force2) {
  send(names_[0], accelX, accelY, accelZ, force1, force2);
}

void ScratchClient::notificationDecoded(const DecodedNotification& n) {
  if (n.belt < 0 || n.belt >= kBelts) return;
  const auto belt = static_cast<std::size_t>(n.belt);
  // A further belt the core did not name: its number is its name.
  if (belt > 0 && !named_[belt]) nameBelt(n.belt, QString::number(n.belt + 1));
  send(names_[belt], n.state.accelX, n.state.accelY, n.state.accelZ, n.state.force1Grams,
       n.state.force2Grams);
}

void ScratchClient::linkChanged(const LinkChange& change) {
  if (change.belt <= 0 || change.belt >= kBelts) return;
  const auto belt = static_cast<std::size_t>(change.belt);
  if (change.event == LinkEvent::Connected && !told_[belt]) {
    // Its name by default, until the core tells another.
    nameBelt(change.belt, change.deviceId.isEmpty() ? QString::number(change.belt + 1)
                                                    : change.deviceId.right(4));
  } else if (change.event == LinkEvent::Disconnected) {
    // Its slot is free: the next belt in it is named afresh.
    told_[belt] = false;
    named_[belt] = false;
  }
}

void ScratchClient::beltNamed(int belt, const QString& name) {
  // The first belt keeps its names whatever it is called.
  if (belt <= 0 || belt >= kBelts) return;
  told_[static_cast<std::size_t>(belt)] = true;
  nameBelt(belt, name);
}

void ScratchClient::nameBelt(int belt, const QString& name) {
  const auto slot = static_cast<std::size_t>(belt);
  // Without a name its sensors would be the first belt's.
  names_[slot] = SensorNames(name.trimmed().isEmpty() ? QString::number(belt + 1) : name);
  named_[slot] = true;
  frame_.reserveFor(names_[slot]);
}

void ScratchClient::send(const SensorNames& names, int accelX, int accelY, int accelZ,
                         double force1, double force2) {
  if (!connected_) return;
  if (socket_->bytesToWrite() > kMaxUnsentBytes) {
    ++dropped_;
    return;
  }
  reportDrops();
  frame_.build(names, accelX, accelY, accelZ, force1, force2);
  socket_->write(frame_.data(), static_cast<qint64>(frame_.size()));
}

void ScratchClient::testLink() {
  if (testing_) return;
  if (!connected_) {
    line(QStringLiteral("*** neni connect *********"));
    return;
  }
  testing_ = true;
  emit stateChanged();
  static constexpr char kEmptyFrame[4] = {0, 0, 0, 0};
  socket_->write(kEmptyFrame, sizeof kEmptyFrame);

  const std::uint32_t start = ticks_.tick();
  pump_.processPending();
  while (connected_ && unread_.isEmpty()) {
    const std::uint32_t waited = ticks_.tick() - start;
    if (waited >= static_cast<std::uint32_t>(kTestWaitMs)) break;
    pump_.waitForEvents(static_cast<std::uint32_t>(kTestWaitMs) - waited);
  }

  if (connected_ && !unread_.isEmpty()) {
    const qsizetype count = std::min<qsizetype>(kTestReceiveBytes, unread_.size());
    line(receivedDataLine(unread_.left(count)));
    unread_.remove(0, count);
    line(QStringLiteral("OK "));
  } else {
    line(QStringLiteral("*** Chyba *********"));
  }
  testing_ = false;
  emit stateChanged();
}

}  // namespace kelvaro
