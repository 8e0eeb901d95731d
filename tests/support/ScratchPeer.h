#pragma once

// A Scratch stand-in for the client's tests: a TCP server on the loopback interface that accepts
// one connection, keeps what arrives and can answer, stop reading or hang up.
#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvaro::testing {

class ScratchPeer {
 public:
  // Listens on 127.0.0.1 (or any address) on a free port. A small receive buffer makes a peer
  // that stops reading push back on the sender quickly.
  explicit ScratchPeer(bool anyAddress = false, int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) {
      ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(anyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 4);
    server_.setSocketDescriptor(fd);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        peers_ << socket;
        if (!reading_) socket->setReadBufferSize(1);
        QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { take(*socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, [this] { ++hangUps_; });
      }
    });
  }

  std::uint16_t port() const { return server_.serverPort(); }
  int connections() const { return static_cast<int>(peers_.size()); }
  int hangUps() const { return hangUps_; }
  QTcpSocket* last() const { return peers_.isEmpty() ? nullptr : peers_.last(); }
  const QByteArray& received() const { return received_; }
  void clearReceived() { received_.clear(); }

  // What to send back when bytes arrive (nothing while empty).
  void answerWith(const QByteArray& bytes) { answer_ = bytes; }
  // A peer that stops reading leaves everything in the system's buffers.
  void setReading(bool reading) {
    reading_ = reading;
    for (QTcpSocket* socket : peers_) {
      socket->setReadBufferSize(reading ? 0 : 1);
      if (reading) {
        // Reading again, and quickly: a large window from here on.
        const int large = 1 << 20;
        ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &large,
                     sizeof large);
        take(*socket);
      }
    }
  }
  void hangUp() {
    for (QTcpSocket* socket : peers_) socket->disconnectFromHost();
  }
  void reset() {
    for (QTcpSocket* socket : peers_) {
      socket->setSocketOption(QAbstractSocket::KeepAliveOption, 0);
      const int fd = static_cast<int>(socket->socketDescriptor());
      const linger hard{1, 0};  // close with RST
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      socket->abort();
    }
  }

  // How many whole frames arrived, without copying them.
  std::size_t frameCount() const {
    std::size_t count = 0;
    qsizetype at = 0;
    while (received_.size() - at >= 4) {
      const auto* b = reinterpret_cast<const std::uint8_t*>(received_.constData() + at);
      const qsizetype length = (qsizetype{b[0]} << 24) | (qsizetype{b[1]} << 16) |
                               (qsizetype{b[2]} << 8) | qsizetype{b[3]};
      if (received_.size() - at - 4 < length) break;
      at += 4 + length;
      ++count;
    }
    return count;
  }

  // The frames in what arrived, each as its message text; the rest is left over.
  std::vector<std::string> frames(int* leftover = nullptr) const {
    std::vector<std::string> messages;
    int at = 0;
    while (received_.size() - at >= 4) {
      const auto* b = reinterpret_cast<const std::uint8_t*>(received_.constData() + at);
      const std::uint32_t length =
          (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (b[2] << 8) | b[3];
      if (received_.size() - at - 4 < static_cast<qsizetype>(length)) break;
      messages.emplace_back(received_.constData() + at + 4, length);
      at += 4 + static_cast<int>(length);
    }
    if (leftover) *leftover = static_cast<int>(received_.size()) - at;
    return messages;
  }

 private:
  void take(QTcpSocket& socket) {
    if (!reading_) return;
    received_ += socket.readAll();
    if (!answer_.isEmpty()) socket.write(answer_);
  }

  QTcpServer server_;
  QList<QTcpSocket*> peers_;
  QByteArray received_;
  QByteArray answer_;
  bool reading_ = true;
  int hangUps_ = 0;
};

// The longest the event loop went without turning, measured by a 5 ms timer.
class LoopLatency {
 public:
  LoopLatency() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout,
                     [this] { worst_ = std::max(worst_, clock_.restart()); });
    clock_.start();
    timer_.start(5);
  }
  qint64 worstMs() const { return worst_; }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 worst_ = 0;
};

// A port on the loopback interface where nothing listens.
inline std::uint16_t closedPort() {
  QTcpServer server;
  server.listen(QHostAddress::LocalHost);
  return server.serverPort();
}

// A listener whose queue is full and that never accepts: the system drops further connection
// requests, so a connect to it neither succeeds nor fails until somebody gives up.
class SilentListener {
 public:
  SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd_, 0);
    socklen_t size = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    // Fill the queue.
    for (int i = 0; i < 4; ++i) {
      auto* filler = new QTcpSocket;
      filler->connectToHost(QHostAddress::LocalHost, port_);
      fillers_ << filler;
    }
    QTest::qWait(100);
  }
  ~SilentListener() {
    qDeleteAll(fillers_);
    ::close(fd_);
  }
  std::uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
  QList<QTcpSocket*> fillers_;
};

}  // namespace kelvaro::testing
