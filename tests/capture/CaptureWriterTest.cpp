// The capture writer and the port's tap: what is read and written, with the injected clock's
// times, on real files in a folder of the test's own; its errors, and a killed process.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <string>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/MicrosecondClock.h"
#include "capture/CaptureReader.h"
#include "capture/CaptureTap.h"
#include "capture/CaptureWriter.h"
#include "platform/AppendFile.h"
#include "support/FakeSerialTransport.h"

namespace kelvaro {
namespace {

using capture::Direction;

class CaptureWriterTest : public ::testing::Test {
 protected:
  CaptureWriterTest() {
    header.program = QStringLiteral("kelvaro-monitor/3.24.0");
    header.start = QDateTime(QDate(2025, 3, 1), QTime(14, 2, 11, 250), Qt::OffsetFromUTC, 3600);
    writer.setFailureReport([this](const QString& message) { failures << message; });
  }

  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  QByteArray contents(const char* name) const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir dir;
  ManualMicrosecondClock clock{5000000};
  PosixAppendFile file;
  CaptureWriter writer{file, clock};
  CaptureHeader header;
  QStringList failures;
};

TEST_F(CaptureWriterTest, TheTapCapturesReadsAndWritesWithTheirTimesSinceTheStart) {
  testing::FakeSerialTransport port;
  CaptureTap tap(port, writer);
  ASSERT_TRUE(tap.open(QStringLiteral("/dev/ttyACM0"), SerialSettings()));
  // Nothing is captured before the start.
  tap.write(QByteArray::fromHex("0000"));

  QString reason;
  ASSERT_TRUE(writer.start(path("belt.capture"), header, &reason)) << reason.toStdString();
  clock.advance(17);
  tap.write(QByteArray::fromHex("0001060201"));
  clock.advance(1826);
  port.inject(QByteArray::fromHex("000206020000800b"), false);
  char buffer[4];
  EXPECT_EQ(tap.read(buffer, 4), 4);
  EXPECT_EQ(tap.read(buffer, 4), 4);  // two reads at the same time: two lines
  EXPECT_EQ(tap.read(buffer, 4), 0);  // nothing read: no line
  EXPECT_EQ(writer.records(), 3u);
  ASSERT_TRUE(writer.finish(&reason)) << reason.toStdString();
  tap.write(QByteArray::fromHex("0000"));

  EXPECT_EQ(port.writes.size(), 3) << "the tap passes every write on";
  EXPECT_EQ(contents("belt.capture"),
            "kelvaro-capture 1 program=kelvaro-monitor/3.24.0 start=2025-03-01T14:02:11.250+01:00\n"
            "17 > 00 01 06 02 01\n"
            "1843 < 00 02 06 02\n"
            "1843 < 00 00 80 0b\n");
  EXPECT_TRUE(failures.isEmpty());
}

TEST_F(CaptureWriterTest, AWriteThatFailsIsNotCaptured) {
  testing::FakeSerialTransport port;
  CaptureTap tap(port, writer);
  ASSERT_TRUE(writer.start(path("belt.capture"), header, nullptr));
  port.failWrites = true;
  EXPECT_ANY_THROW(tap.write(QByteArray::fromHex("0001060201")));
  EXPECT_EQ(writer.records(), 0u);
}

TEST_F(CaptureWriterTest, AnExistingFileIsLeftAloneAndAFolderThatIsNotThereRefused) {
  QFile existing(path("old.capture"));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.write("keep");
  existing.close();
  QString reason;
  EXPECT_FALSE(writer.start(path("old.capture"), header, &reason));
  EXPECT_EQ(reason, QStringLiteral("\"%1\" exists already").arg(path("old.capture")));
  EXPECT_EQ(contents("old.capture"), "keep");
  EXPECT_FALSE(writer.active());

  EXPECT_FALSE(writer.start(path("none/new.capture"), header, &reason));
  EXPECT_EQ(reason, QStringLiteral("Cannot create file \"%1\". No such file or directory")
                        .arg(path("none/new.capture")));
  EXPECT_TRUE(failures.isEmpty()) << "a refused start is the caller's to report";
}

// A full disk, as a file size limit shows it: the write that passes the limit fails with EFBIG.
TEST_F(CaptureWriterTest, AWriteErrorIsReportedOnceAndTheCaptureEnds) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  ASSERT_TRUE(writer.start(path("belt.capture"), header, nullptr));
  const qint64 headerSize = contents("belt.capture").size();
  rlimit small = before;
  small.rlim_cur = static_cast<rlim_t>(headerSize + 3 * 14 + 5);  // "12 < 00 01 02\n" is 14
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const char bytes[] = {0, 1, 2};
  for (int i = 0; i < 6; ++i) {
    clock.advance(12);
    writer.record(Direction::Received, bytes, sizeof bytes);
  }
  setrlimit(RLIMIT_FSIZE, &before);

  ASSERT_EQ(failures.size(), 1);
  EXPECT_EQ(failures[0],
            QStringLiteral("Capture stopped: Cannot write to file \"%1\". File too large")
                .arg(path("belt.capture")));
  EXPECT_FALSE(writer.active());
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(writer.records(), 3u);
  // The lines before the error are whole and read back; the failed one left at most its start.
  const QByteArray text = contents("belt.capture");
  const Capture read = parseCapture(text.constData(), std::size_t(text.size()));
  EXPECT_EQ(read.records.size(), 3u);

  EXPECT_TRUE(writer.start(path("next.capture"), header, nullptr)) << "a new start works again";
}

// Every line is the system's as soon as it is written: a process killed in the middle of a
// capture, with no chance to close anything, leaves all of its lines whole in the file.
TEST_F(CaptureWriterTest, AKilledProcessLosesNoLineItWrote) {
  constexpr int kLines = 2000;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!writer.start(path("belt.capture"), header, nullptr)) _exit(1);
    char value[25] = {char(0x80), 0x15, 4, 5};
    for (int i = 0; i < kLines; ++i) {
      clock.advance(50000);
      value[24] = char(i);
      writer.record(Direction::Received, value, sizeof value);
    }
    raise(SIGKILL);
    _exit(0);  // not reached
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  const QByteArray text = contents("belt.capture");
  const Capture read = parseCapture(text.constData(), std::size_t(text.size()));
  EXPECT_FALSE(read.damage);
  ASSERT_EQ(read.records.size(), std::size_t(kLines));
  EXPECT_EQ(read.records.back().micros, std::uint64_t(kLines) * 50000);
  EXPECT_EQ(read.data(read.records.back())[24], std::uint8_t((kLines - 1) & 0xFF));
}

TEST_F(CaptureWriterTest, AClockThatStepsBackGivesNoLineAnEarlierTime) {
  ASSERT_TRUE(writer.start(path("belt.capture"), header, nullptr));
  const char byte = 1;
  clock.advance(100);
  writer.record(Direction::Received, &byte, 1);
  clock.set(clock.microseconds() - 60);
  writer.record(Direction::Sent, &byte, 1);
  writer.finish();
  EXPECT_TRUE(contents("belt.capture").endsWith("100 < 01\n100 > 01\n"));
}

}  // namespace
}  // namespace kelvaro
