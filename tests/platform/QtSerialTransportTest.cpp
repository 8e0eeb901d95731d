#include "platform/QtSerialTransport.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <cstdlib>

#include <gtest/gtest.h>

#include "base/Errors.h"

namespace kelvaro {
namespace {

// The master side of a pseudo-terminal: the test plays the dongle there while the transport
// opens the slave path like any serial device.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    const char* name = ptsname(master_);
    if (name != nullptr) slavePath_ = QString::fromLocal8Bit(name);
  }
  ~PseudoTerminal() { closeMaster(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return master_ >= 0 && !slavePath_.isEmpty(); }
  const QString& slavePath() const { return slavePath_; }
  int master() const { return master_; }

  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  bool send(const QByteArray& bytes) {
    return ::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
  }

  // Collects what the slave side wrote until `count` bytes are in or the time is up.
  QByteArray receive(int count, int timeoutMs = 2000) {
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (got.size() < count && !deadline.hasExpired()) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(deadline.remainingTime())) <= 0) break;
      char buf[256];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<qsizetype>(n));
    }
    return got;
  }

 private:
  int master_ = -1;
  QString slavePath_;
};

// Every byte value, including the line-discipline specials (CR, LF, XON, XOFF, ^C, ^D), must cross
// unchanged: BGAPI is binary.
QByteArray allByteValues() {
  QByteArray bytes;
  for (int i = 0; i < 256; ++i) bytes.append(static_cast<char>(i));
  return bytes;
}

class QtSerialTransportTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.ok()) << "no pseudo-terminal available"; }

  PseudoTerminal pty;
  QtSerialTransport transport;
};

TEST_F(QtSerialTransportTest, OpensSlavePathWithDefaultSettings) {
  ASSERT_TRUE(transport.open(pty.slavePath(), SerialSettings{}))
      << transport.errorString().toStdString();
  EXPECT_TRUE(transport.isOpen());
  EXPECT_EQ(transport.portName(), pty.slavePath());

  // The master shares the slave's line settings, so they can be read back here.
  termios t{};
  ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B115200);
  EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
}

struct LineCase {
  const char* label;
  SerialSettings settings;
  speed_t speed;
  tcflag_t cflagSet;    // bits of c_cflag that must be set
  tcflag_t cflagClear;  // bits of c_cflag that must be clear
  tcflag_t iflagSet;
  tcflag_t iflagClear;
};

SerialSettings makeSettings(qint32 baud, int dataBits, SerialSettings::Parity parity,
                            SerialSettings::StopBits stopBits, bool rtsCts, bool xonXoff) {
  SerialSettings s;
  s.baudRate = baud;
  s.dataBits = dataBits;
  s.parity = parity;
  s.stopBits = stopBits;
  s.rtsCtsHandshake = rtsCts;
  s.xonXoff = xonXoff;
  return s;
}

// Linux forces a pseudo-terminal to CS8 without PARENB whatever is asked, so the character size
// and the parity enable bit cannot be seen here; the parity kind (PARODD, CMSPAR), stop bits,
// speed and flow control can.
TEST_F(QtSerialTransportTest, AppliesLineSettings) {
  using P = SerialSettings::Parity;
  using S = SerialSettings::StopBits;
  const LineCase cases[] = {
      {"9600 7E2", makeSettings(9600, 7, P::Even, S::Two, false, false), B9600, CSTOPB,
       PARODD | CMSPAR | CRTSCTS, 0, IXON | IXOFF},
      {"57600 8O1", makeSettings(57600, 8, P::Odd, S::One, false, false), B57600, PARODD,
       CSTOPB | CMSPAR, 0, 0},
      {"mark parity", makeSettings(115200, 8, P::Mark, S::One, false, false), B115200,
       CMSPAR | PARODD, 0, 0, 0},
      {"space parity", makeSettings(115200, 8, P::Space, S::One, false, false), B115200, CMSPAR,
       PARODD, 0, 0},
      {"1200 5N2", makeSettings(1200, 5, P::None, S::Two, false, false), B1200, CSTOPB,
       PARODD | CMSPAR, 0, 0},
      {"hardware flow", makeSettings(115200, 8, P::None, S::One, true, false), B115200, CRTSCTS, 0,
       0, IXON | IXOFF},
      {"software flow", makeSettings(115200, 8, P::None, S::One, false, true), B115200, 0, CRTSCTS,
       IXON | IXOFF, 0},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(transport.open(pty.slavePath(), c.settings))
        << transport.errorString().toStdString();
    termios t{};
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), c.speed);
    EXPECT_EQ(t.c_cflag & c.cflagSet, c.cflagSet);
    EXPECT_EQ(t.c_cflag & c.cflagClear, 0u);
    EXPECT_EQ(t.c_iflag & c.iflagSet, c.iflagSet);
    EXPECT_EQ(t.c_iflag & c.iflagClear, 0u);
    transport.close();
  }
}

TEST_F(QtSerialTransportTest, WrittenBytesArriveAtTheOtherSide) {
  ASSERT_TRUE(transport.open(pty.slavePath(), SerialSettings{}));
  const QByteArray bytes = allByteValues();
  transport.write(bytes);
  // No event loop runs here: write() has already handed everything to the device.
  EXPECT_EQ(pty.receive(bytes.size()), bytes);
}

TEST_F(QtSerialTransportTest, ReceivedBytesAreAnnouncedByReadyRead) {
  ASSERT_TRUE(transport.open(pty.slavePath(), SerialSettings{}));
  QSignalSpy ready(&transport, &SerialTransport::readyRead);
  const QByteArray bytes = allByteValues();
  ASSERT_TRUE(pty.send(bytes));

  QByteArray got;
  const bool complete = QTest::qWaitFor(
      [&] {
        char buf[64];
        while (transport.bytesAvailable() > 0) {
          const qint64 n = transport.read(buf, sizeof buf);
          if (n <= 0) break;
          got.append(buf, n);
        }
        return got.size() >= bytes.size();
      },
      2000);
  EXPECT_TRUE(complete);
  EXPECT_EQ(got, bytes);
  EXPECT_GE(ready.count(), 1);
  char spare;
  EXPECT_EQ(transport.read(&spare, 1), 0);
}

TEST_F(QtSerialTransportTest, OpenOfMissingPathFailsWithReason) {
  const QString missing = pty.slavePath() + QStringLiteral("-missing");
  EXPECT_FALSE(transport.open(missing, SerialSettings{}));
  EXPECT_FALSE(transport.isOpen());
  EXPECT_FALSE(transport.errorString().isEmpty());
}

TEST_F(QtSerialTransportTest, UnsupportedDataBitsRefuseToOpen) {
  SerialSettings settings;
  settings.dataBits = 9;
  EXPECT_FALSE(transport.open(pty.slavePath(), settings));
  EXPECT_FALSE(transport.isOpen());
  EXPECT_FALSE(transport.errorString().isEmpty());
}

TEST_F(QtSerialTransportTest, WriteOnClosedPortThrowsNamingThePort) {
  const QByteArray command = QByteArray::fromHex("00000602");
  // Never opened, then opened and closed again: both refuse the same way.
  try {
    transport.write(command);
    ADD_FAILURE() << "write on a never opened port did not throw";
  } catch (const Error&) {
  }
  ASSERT_TRUE(transport.open(pty.slavePath(), SerialSettings{}));
  transport.close();
  EXPECT_FALSE(transport.isOpen());
  try {
    transport.write(command);
    ADD_FAILURE() << "write on a closed port did not throw";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(pty.slavePath().toStdString()), std::string::npos)
        << e.what();
  }
}

TEST_F(QtSerialTransportTest, LosingTheOtherSideClosesThePortOnce) {
  ASSERT_TRUE(transport.open(pty.slavePath(), SerialSettings{}));
  QSignalSpy lost(&transport, &SerialTransport::connectionLost);
  pty.closeMaster();

  ASSERT_TRUE(QTest::qWaitFor([&] { return lost.count() > 0; }, 2000));
  // Give a repeating error a chance to show itself.
  QTest::qWait(50);
  EXPECT_EQ(lost.count(), 1);
  EXPECT_FALSE(transport.isOpen());
  EXPECT_TRUE(lost.first().first().toString().contains(pty.slavePath()));
  EXPECT_THROW(transport.write(QByteArray("x")), Error);
}

}  // namespace
}  // namespace kelvaro
