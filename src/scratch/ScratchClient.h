#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>

#include "monitor/MeasurementConsumer.h"
#include "scratch/SensorUpdate.h"

class QTcpSocket;

namespace kelvaro {

class ConsoleLog;
class EventPump;
class TickSource;

// The client of Scratch's remote-sensor port: one TCP connection that carries a sensor-update
// frame for every notification. It never holds the event loop up:
//   - a connection attempt runs in the background and gives up after connectGiveUpMs;
//   - frames go into the socket's buffer; while more than kMaxUnsentBytes wait unsent (a peer
//     that stopped reading), whole frames are dropped and the console says how many once sending
//     resumes or the connection ends;
//   - a peer that closes or resets the connection is noticed, and the client is disconnected;
//   - the link test waits for the answer while the event loop turns.
// What the peer sends is kept (up to kMaxUnreadBytes, the rest is discarded) for the link test.
// Registered last with the core, it sends every decoded notification's values: the first belt's
// under "force", "force2", "GX", "GY" and "GZ", a further belt's under the same names followed by
// a blank and the belt's name ("force Anna"), the name it was last told (until then the last
// four digits of its DeviceId).
class ScratchClient final : public QObject, public MeasurementConsumer {
  Q_OBJECT

 public:
  // The console lines of the connection: waiting for Scratch, connected, failed, ended.
  static inline const QString kWaitingLine = QStringLiteral("Cekejte");
  static inline const QString kConnectedLine = QStringLiteral("Pripojeno");
  static inline const QString kFailedLine = QStringLiteral("*** Chyba pripojeni *********");
  static inline const QString kDisconnectedLine = QStringLiteral("Odpojeno");

  static constexpr std::uint16_t kScratchPort = 42001;
  static constexpr int kConnectGiveUpMs = 10000;
  static constexpr int kTestWaitMs = 3000;
  static constexpr int kTestReceiveBytes = 1000;
  static constexpr qint64 kMaxUnsentBytes = 64 * 1024;
  static constexpr int kMaxUnreadBytes = 64 * 1024;
  // Belts at once, the first included (the core's).
  static constexpr int kBelts = 4;

  // The link test waits on ticks and pump; console gets the link's lines. All must outlive it.
  ScratchClient(ConsoleLog& console, const TickSource& ticks, EventPump& pump,
                std::uint16_t port = kScratchPort, QObject* parent = nullptr);
  // Closes an open connection without a console line.
  ~ScratchClient() override;

  // "TCP Connect": to host (empty: 0.0.0.0; starting with a digit: an IPv4 address; otherwise a
  // name, looked up, its first IPv4 address used). A host other than the last one closes the
  // connection first; the same host while connected only confirms it.
  void connectTo(const QString& host);
  // "TCP Disconnect": ends the connection or the attempt, then says "Odpojeno".
  void disconnectFromPeer();
  // "Test spoj": an empty frame, then up to kTestWaitMs for an answer.
  void testLink();
  // One frame of the first belt's when connected, nothing otherwise.
  void sendSensorUpdate(int accelX, int accelY, int accelZ, double force1, double force2);
  void notificationDecoded(const DecodedNotification& n) override;
  void linkChanged(const LinkChange& change) override;
  void beltNamed(int belt, const QString& name) override;
  // At program exit: the connection closes without console lines.
  void closeQuietly();

  bool isConnected() const { return connected_; }
  bool isConnecting() const { return connecting_; }
  bool isTesting() const { return testing_; }
  // Frames dropped since sending last went on; reported and reset when it does.
  std::uint64_t droppedFrames() const { return dropped_; }
  // Bytes handed to the connection that the system has not taken yet.
  qint64 unsentBytes() const;
  void setConnectGiveUpMs(int ms) { connectGiveUpMs_ = ms; }

 signals:
  // Connecting, connected or testing changed.
  void stateChanged();

 private:
  void startAttempt();
  void hostLookedUp(int lookupId, const QList<QHostAddress>& addresses, bool found);
  void connectSocket(const QHostAddress& address);
  void attemptSucceeded();
  void attemptFailed();
  void cancelAttempt();
  void readIncoming();
  void connectionEnded(const QString& reason);
  // Closes the socket; with loud, says so on the console (drops first, then the disconnect).
  void closeConnection(bool loud);
  void releaseSocket();
  void reportDrops();
  void send(const SensorNames& names, int accelX, int accelY, int accelZ, double force1,
            double force2);
  void nameBelt(int belt, const QString& name);
  void line(const QString& text);

  ConsoleLog& console_;
  const TickSource& ticks_;
  EventPump& pump_;
  const std::uint16_t port_;
  int connectGiveUpMs_ = kConnectGiveUpMs;

  QTcpSocket* socket_ = nullptr;
  QTimer giveUp_;
  QString host_;
  int lookupId_ = -1;
  bool connecting_ = false;
  bool connected_ = false;
  bool testing_ = false;
  std::uint64_t dropped_ = 0;
  QByteArray unread_;
  SensorUpdateFrame frame_;
  // Each belt's names (the first belt's never change), and whether a further belt's were told
  // through beltNamed rather than made from its DeviceId.
  std::array<SensorNames, kBelts> names_;
  std::array<bool, kBelts> named_{};
  std::array<bool, kBelts> told_{};
};

}  // namespace kelvaro
